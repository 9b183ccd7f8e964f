#pragma once

namespace miravon {

// What screen readers see of the program's controls and windows (Qt
// accessibility, on Linux through AT-SPI):
// - a label used as an entry is a button named by its caption as displayed
//   (a logo by its accessible name, the channel's name), with a press action
//   that activates it exactly as a click; a heading is a heading; any other
//   label is static text;
// - a panel is a grouping named by its title;
// - each of the program's windows is a frame named by its title, or by its
//   accessible name where the title is written without tones;
// - Return and Enter press the focused push or tool button in every
//   window, as Space does (Qt does so in dialogs only).
// Install once, after the application object exists. Idempotent.
void installAccessibility();

} // namespace miravon
