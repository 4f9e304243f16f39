// Resource identifiers of the program; one range and prefix per kind.
#pragma once

#define IDR_MANIFEST 1
