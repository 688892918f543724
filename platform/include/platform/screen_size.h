// The host's screen: 25 rows of 80 columns, rows and columns counted from 0.
#pragma once

enum ScreenSize : int { SCREEN_ROWS = 25, SCREEN_COLUMNS = 80 };
