#pragma once

#include "catalogue.h"
#include "listchannels.h"
#include "matcher.h"

namespace miravon::import {

struct ReportInput {
    const QList<Target>& targets;
    const QList<Source>& sources;
    const Result& result;
    const QList<catalogue::AddressRow>& own; // the user's own address file
    bool dryRun = false;
    QString importPath;
    QStringList skipped; // lists skipped: "list: why", in Vietnamese
    QString kept;        // why the layer in use stays, when it does
    const QList<catalogue::ListChannel>& channels; // as written
    int droppedChannels = 0;                       // left out to keep the file within its cap
    qint64 channelsCap = 0;
};

// The report of an import, written for a person, in Vietnamese: the lists
// read and skipped (and why), the channels kept per country, per country
// the entries given an address, each entry written (by its place as a
// person says it, "Việt Nam › Các kênh truyền hình Việt Nam: VTV1") with
// its stream, the alternatives not picked, near names only suggested, the
// entries left unmatched, and the entries the user's own file overrides.
QString buildReport(const ReportInput& in);

// Where an entry is, as a person says it: its country, its panel's title
// (and page, where the country fills several panels of that title), its
// caption: "Mỹ › Các kênh truyền hình Mỹ, trang 2: CTN", "Ý: Rai News".
class Places {
public:
    explicit Places(const QList<Target>& targets);
    QString panel(int target) const; // without the caption
    QString entry(int target) const;

private:
    const QList<Target>& targets_;
    QList<QString> panels_;
};

} // namespace miravon::import
