#pragma once

namespace miravon {

// Puts Qt's own texts in Vietnamese for the rest of the run: the standard
// buttons of message boxes and dialogs, the file dialog (when Qt draws it;
// a desktop's own file chooser through its portal speaks the desktop's
// language), the menus of text fields. Whatever the system's language: every
// text a person sees is Vietnamese. Needs the application object; once.
// False when the translation could not be read (the texts stay English).
bool installQtTranslation();

} // namespace miravon
