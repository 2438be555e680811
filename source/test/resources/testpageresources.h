#pragma once

// Resources of the page-frame tests: a page template with an edit box and a link.

#define IDD_TEST_PAGE 200
#define IDC_TEST_EDIT 1002
#define IDC_TEST_LINK 1004
