// The window tests run their cases inside one QApplication, with the
// build's Polyvox bound as the program binds it for the English interface.

#include "app/config/interface_text.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const char* bin = std::getenv("KESTROVA_BIN");
    kestrova::app::EnglishTexts polyvox;
    if (!polyvox.load(bin != nullptr ? bin : "build/bin"))
        std::fprintf(stderr, "no Polyvox for the English interface: %s\n", polyvox.error().c_str());
    return RUN_ALL_TESTS();
}
