// SPDX-License-Identifier: MIT
#pragma once

// Lets assistive technology see what the window's progress bar and colour swatch show:
// Qt's own interface gives a progress bar's number but not the text drawn on it
// ("Processing: photo.jpg"), and a plain frame used as a swatch would read as a frame.
// Safe to call more than once.
void InstallAccessibleInterfaces();
