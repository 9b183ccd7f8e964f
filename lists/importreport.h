#pragma once

#include "catalogue.h"
#include "matcher.h"

namespace miravon::import {

struct ReportInput {
    const QList<Target>& targets;
    const QList<Source>& sources;
    const Result& result;
    const QList<catalogue::AddressRow>& own; // the user's own address file
    bool dryRun = false;
    QString importPath;
    QStringList skipped; // lists that could not be read: "list: why"
    QString kept;        // why the layer in use stays, when it does
};

// The report of an import, in Vietnamese: per panel matched/total, each row
// written (caption -> stream name, list, markers), the alternatives not
// picked, near names only suggested, the entries left unmatched, and the
// rows the user's own file overrides.
QString buildReport(const ReportInput& in);

} // namespace miravon::import
