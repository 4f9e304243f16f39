// Every settings number of the program, in one place.
#pragma once

constexpr int SETTING_WINDOW_PLACEMENT = 100;   // binary: the frame's placement record
constexpr int SETTING_PIXELS_DPI = 101;         // number: the DPI the placement and tree widths were saved at
constexpr int SETTING_RECENT_PATH_FIRST = 30110; // text: recent-files entry i is 30110 + i
constexpr int SETTING_RECENT_FLAGS_FIRST = 30120; // binary: recent-files entry i is 30120 + i
constexpr int SETTING_LAST_FOLDER = 31000;       // text: the folder of the last package chosen in a dialog
constexpr int SETTING_PACKAGE_TREE_WIDTH = 31010; // number: the package side's tree width
constexpr int SETTING_SYSTEM_TREE_WIDTH = 31011;  // number: the system side's tree width
