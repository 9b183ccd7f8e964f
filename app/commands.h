#pragma once
#include <QString>
#include <QStringList>
namespace miravon {
struct ImportRequest { QStringList sources; QString country; bool dryRun = false; };
struct UpdateRequest { QString sourceTemplate; bool dryRun = false; };
// Each returns the process exit status and prints to standard output / error.
int runImport(const ImportRequest& request);
int runUpdateChannels(const UpdateRequest& request);
int runUndoImport();
int runCheck(int jobs);
}
