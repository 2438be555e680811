#pragma once

// String resources of the test executable.

// Fills a 64-unit buffer exactly (63 characters and the terminator).
#define IDS_TEST_63_CHARACTERS 1001
#define IDS_TEST_HELLO 1002
// The description of library error code 0xA0010005 (resource 0xFF00 + low word).
#define IDS_TEST_LIBRARY_ERROR_FIVE 0xFF05
