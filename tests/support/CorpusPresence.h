// The real pictures beside the repository (VANTREL_CORPUS_DIR, that is
// ../shared/corpus), which a checkout elsewhere may not have: a test that
// reads them starts with this line and is then skipped, saying where it looked.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#define VANTREL_SKIP_WITHOUT_CORPUS()                              \
    if (!std::filesystem::is_directory(VANTREL_CORPUS_DIR))        \
    GTEST_SKIP() << "no corpus pictures at " << VANTREL_CORPUS_DIR
