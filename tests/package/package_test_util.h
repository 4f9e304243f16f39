// The package tests' own checks, over the shared builders.
#pragma once
#include <doctest.h>
#include "package_builders.h"

namespace pkgtest {

// Every field of got against want; plug-ins without presets in want are skipped, as packages leave them out.
inline void CheckSameCatalogue(const PlugInList& want, const ChainList& wantChains, const PlugInList& got,
                               const ChainList& gotChains) {
    CHECK(CatalogueDifference(want, wantChains, got, gotChains) == "");
}

} // namespace pkgtest
