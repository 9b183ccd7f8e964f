#pragma once

#include "commands.h"

#include <QString>
#include <QStringList>

namespace miravon {

// What the command line asks for. Without arguments the program opens its
// windows as always; every other form runs without a display.
struct Invocation {
    enum class Action { Windows, Help, Version, Import, UpdateChannels, UndoImport, Check, Error };
    Action action = Action::Windows;
    ImportRequest import;
    UpdateRequest update;
    int jobs = 0;  // --check: parallel probes; 0 lets the command choose
    QString error; // Action::Error: one line, without the program name
};

// `arguments` excludes the program name.
Invocation parseCommandLine(const QStringList& arguments);

// The usage text of --help, ending with a newline.
QString usageText();
QString versionText();

// Exit status of a command line that cannot be understood.
inline constexpr int usageExitStatus = 2;

} // namespace miravon
