#pragma once

// The product's name, maker, version and copyright, read by both the program and its resource script, so
// plain preprocessor definitions only. The resource compiler takes single literals; the joined ones below are
// for the program.

#define VARNOTTA_PRODUCT_NAME "Varnotta"
#define VARNOTTA_MAKER_HOST "www.varnotta.example"
#define VARNOTTA_HOME_PAGE "https://" VARNOTTA_MAKER_HOST "/"
#define VARNOTTA_COPYRIGHT "Copyright (c) 2026 The Varnotta authors"

// The version: the one place to change it. The caption, the version record and the release package's name
// (tools/package reads these two lines) all follow from it.
#define VARNOTTA_VERSION_MAJOR 1
#define VARNOTTA_VERSION_MINOR 0

#define VARNOTTA_STRING_(tokens) #tokens
#define VARNOTTA_STRING(tokens) VARNOTTA_STRING_(tokens)
#define VARNOTTA_VERSION_RECORD_TEXT_(major, minor) VARNOTTA_STRING(major.minor##0)
#define VARNOTTA_VERSION_RECORD_TEXT(major, minor) VARNOTTA_VERSION_RECORD_TEXT_(major, minor)

// "1.0", as the caption shows it.
#define VARNOTTA_VERSION VARNOTTA_STRING(VARNOTTA_VERSION_MAJOR.VARNOTTA_VERSION_MINOR)
// The version record's: numbers 1, 0, 0, 0 and the text "1.00".
#define VARNOTTA_VERSION_NUMBERS VARNOTTA_VERSION_MAJOR, VARNOTTA_VERSION_MINOR, 0, 0
#define VARNOTTA_VERSION_TEXT VARNOTTA_VERSION_RECORD_TEXT(VARNOTTA_VERSION_MAJOR, VARNOTTA_VERSION_MINOR)

// The window caption: name, version, six spaces, the maker's host.
#define VARNOTTA_CAPTION VARNOTTA_PRODUCT_NAME " " VARNOTTA_VERSION "      " VARNOTTA_MAKER_HOST

// The window program's name in the release package.
#define VARNOTTA_FILE_NAME "Varnotta.exe"
