// Where things sit on the game's 320 by 200 screen. The asset tools include this too, so the
// pictures they make leave room for what the game draws on them.
#pragma once

// The size of every frame the game draws, whatever the size of the window that shows it.
const int screenW = 320;
const int screenH = 200;

// Rows at the bottom of the race screen that hold the health bar, "Reloading" and the clock.
const int statusStripRows = 9;

// The best result is printed on the title picture centred on this column, its top on this row.
const int bestResultX = 264;
const int bestResultY = 175;
