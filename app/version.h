#pragma once

// The product's name, maker and version, read by both the program and its resource script, so plain
// preprocessor definitions only. The resource compiler takes single literals; the joined ones below are
// for the program.

#define VARNOTTA_PRODUCT_NAME "Varnotta"
#define VARNOTTA_MAKER_HOST "www.varnotta.example"
#define VARNOTTA_HOME_PAGE "https://" VARNOTTA_MAKER_HOST "/"

// The window caption: name, version, six spaces, the maker's host.
#define VARNOTTA_CAPTION VARNOTTA_PRODUCT_NAME " 1.0      " VARNOTTA_MAKER_HOST

#define VARNOTTA_VERSION_NUMBERS 1, 0, 0, 0
#define VARNOTTA_VERSION_TEXT "1.00"

#define VARNOTTA_FILE_NAME "varnotta.exe"
