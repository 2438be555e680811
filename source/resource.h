#pragma once

// Identifiers of digestry.dll's resources, shared by the resource script and the page.

#define IDD_DIGESTRY_PAGE 107

#define IDS_COMPUTING 101
#define IDS_COMPUTE_ERROR 102
#define IDS_CHECKSUM_MATCH 103
#define IDS_CHECKSUM_MISMATCH 104

#define IDC_ALGORITHM_COMBO 1001
#define IDC_DIGEST_EDIT 1002
#define IDC_ABOUT_LINK 1004
#define IDC_COMPARE_EDIT 1006
#define IDC_COMPARE_RESULT 1007
