// The address files over the built-in catalogue: the imported addresses and
// the user's own, and the running catalogue they are applied to.
#include "catalogue.h"

#include "addresspolicy.h"
#include "sizelimits.h"
#include "standin.h"
#include "userfiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QHash>
#include <QFile>
#include <QPointer>
#include <QThread>
#include <QUrl>

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace miravon::catalogue {
namespace {

void toStandardError(const QString& line)
{
    std::fprintf(stderr, "%s\n", qUtf8Printable(line));
    std::fflush(stderr);
}

Catalogue parseBuiltIn()
{
    QStringList errors;
    Catalogue c = parse(builtInTables(), &errors);
    for (const QString& e : std::as_const(errors))
        qCCritical(lcCatalogue, "built-in catalogue: %s", qUtf8Printable(e));
    return c;
}

// The rows of one layer as the last finished change of the folder left it
// (an import that is still being written, or was killed, never shows half
// done).
QList<AddressRow> readLayer(const Catalogue& c, const QString& dir, const QString& name, AddressOrigin origin)
{
    QByteArray content;
    QString error;
    const QString path = dir + u'/' + name;
    switch (files::readCommitted(dir, name, userdata::maxAddressFileBytes, &content, &error)) {
    case ReadResult::Missing:
        return {};
    case ReadResult::Failed:
        toStandardError(QStringLiteral("%1: %2; its addresses are not used").arg(path, error));
        return {};
    case ReadResult::Ok:
        break;
    }
    return readAddressFile(c, content, path, origin, toStandardError);
}

int applyRows(Catalogue& catalogue, const QList<AddressRow>& rows);

// What tells one version of a file from another without reading it: its
// inode, size and time of change (a transaction renames a new file in).
QByteArray identityOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return QByteArray::number(qulonglong(st.st_ino)) + ':' + QByteArray::number(qlonglong(st.st_size)) + ':'
        + QByteArray::number(qlonglong(st.st_mtim.tv_sec)) + '.' + QByteArray::number(qlonglong(st.st_mtim.tv_nsec));
}


// The import's other streams for the labels its first table gave an
// address: only for a label whose first stream is that address (a first
// table edited by hand since the import keeps its own word), only streams
// an import may give.
void applyImportedStreams(Catalogue& c, const QString& dir)
{
    QByteArray content;
    QString error;
    if (files::readCommitted(dir, userdata::importStreamsFileName(), userdata::maxAddressFileBytes, &content, &error) != ReadResult::Ok)
        return;
    const QStringList lines = QString::fromUtf8(content).split(u'\n');
    if (lines.isEmpty() || lines.first() + u'\n' != userdata::streamsHeader())
        return;
    QHash<Label*, QList<ImportedStream>> found;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList f = lines.at(i).split(u'\t');
        if (f.size() != 7)
            continue;
        Label* l = c.label(f[0], f[1]);
        if (!l || l->origin != AddressOrigin::Imported
            || userdata::rowProblem(f[2], f[3], f[4], AddressOrigin::Imported) != userdata::RowProblem::None)
            continue;
        found[l] << ImportedStream{{f[2], {f[3], f[4], AddressOrigin::Imported}}, f[5], f[6]};
    }
    for (auto it = found.begin(); it != found.end(); ++it)
        if (it.value().first().address.url == it.key()->address)
            it.key()->imported = it.value();
}



} // namespace

const Catalogue& pristine()
{
    static const Catalogue cat = parseBuiltIn();
    return cat;
}

RunningCatalogue::RunningCatalogue(QString configDir, QObject* parent)
    : QObject(parent)
    , configDir_(configDir.isEmpty() ? userdata::configDir() : std::move(configDir))
    // Parsed on its own rather than copied from pristine(): its labels never
    // share storage, so changing one never moves them.
    , catalogue_(parseBuiltIn())
    , channels_(std::make_shared<const ListChannelSet>())
{
    // The country names are made here, once, not first on the reading thread.
    search::countryName(QString());
    applyLayers();
    readChannels();
}

RunningCatalogue::~RunningCatalogue()
{
    // The read touches nothing of this object, only its file; what it
    // finds goes nowhere once the object is gone. It is waited for so that
    // it never outlives the application it reports to.
    const QDeadlineTimer bound(10000);
    for (const QPointer<QThread>& reader : std::as_const(readers_))
        if (reader)
            reader->wait(bound);
}

// Puts the layers over the catalogue, whose labels hold the built-in values.
void RunningCatalogue::applyLayers()
{
    const int imported = applyRows(
        catalogue_, readLayer(catalogue_, configDir_, userdata::importFileName(), AddressOrigin::Imported));
    applyImportedStreams(catalogue_, configDir_);
    const QList<AddressRow> ownRows = readLayer(catalogue_, configDir_, userdata::ownFileName(), AddressOrigin::Own);
    const int own = applyRows(catalogue_, ownRows);
    ownChannels_.clear();
    for (const AddressRow& r : ownRows)
        if (r.window == listWindow())
            ownChannels_.insert(r.control, {r.address, {r.referrer, r.userAgent, AddressOrigin::Own}});
    qCDebug(lcCatalogue, "%d imported and %d own addresses (%lld for list channels) from %s", imported, own,
            qint64(ownChannels_.size()), qUtf8Printable(configDir_));
}

void RunningCatalogue::readChannels()
{
    const QString path = configDir_ + u'/' + userdata::listChannelsFileName();
    const QByteArray identity = identityOf(path);
    if (identity == channelsFile_ && !channelsFile_.isEmpty())
        return;
    channelsFile_ = identity;
    const quint64 number = ++readNumber_;
    if (identity.isEmpty() && !files::existsCommitted(configDir_, userdata::listChannelsFileName())) {
        // Nothing to read: no thread.
        readPending_ = false;
        if (!channels_->channels().isEmpty()) {
            channels_ = std::make_shared<const ListChannelSet>();
            emit channelsChanged();
        }
        return;
    }
    const QPointer<RunningCatalogue> self(this);
    const QString dir = configDir_;
    QThread* thread = QThread::create([self, dir, number] {
        // Behind the UI thread wherever the two want the same processor:
        // on Linux a thread has a niceness of its own.
        ::setpriority(PRIO_PROCESS, 0, 10);
        std::shared_ptr<const ListChannelSet> set = readListChannelSet(dir);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, set, number] {
            // Only the newest read counts; an older one that ends later is dropped.
            if (!self || number != self->readNumber_)
                return;
            self->readPending_ = false;
            self->channels_ = set;
            qCDebug(lcCatalogue, "%lld list channels read", qint64(set->channels().size()));
            emit self->channelsChanged();
        });
    });
    thread->setObjectName(QStringLiteral("list channels"));
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    // An older read still under way goes on to its end, unheard.
    readers_.removeAll(nullptr);
    readers_ << thread;
    readPending_ = true;
    thread->start();
}

const StreamAddress* RunningCatalogue::ownAddress(const QString& key) const
{
    const auto it = ownChannels_.constFind(key);
    return it == ownChannels_.cend() ? nullptr : &*it;
}

QList<StreamAddress> RunningCatalogue::streams(const ListChannel& channel) const
{
    QList<StreamAddress> out;
    out.reserve(channel.streams.size() + 1);
    if (const StreamAddress* own = ownAddress(channel.key))
        out << *own;
    for (const ListStream& s : channel.streams)
        out << s.address;
    return out;
}

void RunningCatalogue::reload()
{
    const Catalogue& base = pristine();
    for (qsizetype i = 0; i < catalogue_.labels.size(); ++i) {
        Label& l = catalogue_.labels[i];
        const Label& b = base.labels.at(i);
        l.address = b.address;
        l.kind = b.kind;
        l.referrer.clear();
        l.userAgent.clear();
        l.origin = b.origin;
        l.imported.clear();
    }
    applyLayers();
    emit addressesChanged();
    readChannels();
}






bool Label::withoutAddress() const
{
    return origin == AddressOrigin::BuiltIn && (address.isEmpty() || isStandInAddress(address));
}

bool isChannelKey(const QString& key)
{
    if (key.size() < 4 || key.size() > 512 || key.at(2) != u'/')
        return false;
    for (qsizetype i = 0; i < 2; ++i)
        if (key.at(i) < u'A' || key.at(i) > u'Z')
            return false;
    for (const QChar c : key)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            return false;
    return !key.mid(3).trimmed().isEmpty();
}

ListChannelSet::ListChannelSet()
    : found_(std::make_shared<const search::Segment>())
{
}

ListChannelSet::ListChannelSet(QList<ListChannel> channels, QStringList problems)
    : channels_(std::move(channels))
    , problems_(std::move(problems))
{
    QList<QString> folded;
    folded.reserve(channels_.size());
    QList<search::Entry> entries;
    for (qsizetype i = 0; i < channels_.size(); ++i) {
        const ListChannel& c = channels_.at(i);
        folded << search::fold(c.name);
        // A key seen twice keeps its first channel.
        if (byKey_.contains(c.key))
            continue;
        byKey_.insert(c.key, int(i));
        if (!c.entry.isEmpty()) {
            if (!byEntry_.contains(c.entry))
                byEntry_.insert(c.entry, int(i));
            continue;
        }
        others_[c.country] << int(i);
        // Other names it is known by: what its lists call it.
        QStringList names;
        for (const ListStream& s : c.streams)
            if (!s.title.isEmpty() && s.title != c.name && !names.contains(s.title))
                names << s.title;
        entries << search::Entry{listWindow(), QString(), c.key, c.name, names, {c.country},
                                 search::countryName(c.country), true, true};
    }
    for (QList<int>& list : others_)
        std::stable_sort(list.begin(), list.end(), [&folded](int a, int b) { return folded.at(a) < folded.at(b); });
    found_ = std::make_shared<const search::Segment>(std::move(entries));
}

const ListChannel* ListChannelSet::channel(const QString& key) const
{
    const auto it = byKey_.constFind(key);
    return it == byKey_.cend() ? nullptr : &channels_.at(*it);
}

const ListChannel* ListChannelSet::ofEntry(const QString& window, const QString& control) const
{
    const auto it = byEntry_.constFind(window + u'/' + control);
    return it == byEntry_.cend() ? nullptr : &channels_.at(*it);
}

QList<const ListChannel*> ListChannelSet::others(const QString& country) const
{
    QList<const ListChannel*> out;
    const QList<int> rows = others_.value(country);
    out.reserve(rows.size());
    for (int i : rows)
        out << &channels_.at(i);
    return out;
}

std::shared_ptr<const ListChannelSet> readListChannelSet(const QString& dir)
{
    QByteArray content;
    QString error;
    const QString name = userdata::listChannelsFileName();
    switch (files::readCommitted(dir, name, maxListChannelsFileBytes, &content, &error)) {
    case ReadResult::Missing:
        return std::make_shared<const ListChannelSet>();
    case ReadResult::Failed:
        toStandardError(QStringLiteral("%1/%2: %3; the lists' other channels are not shown").arg(dir, name, error));
        return std::make_shared<const ListChannelSet>();
    case ReadResult::Ok:
        break;
    }
    QStringList problems;
    QList<ListChannel> channels = readListChannels(content, &problems);
    content.clear();
    for (const QString& p : std::as_const(problems).first(std::min<qsizetype>(problems.size(), 5)))
        toStandardError(QStringLiteral("%1/%2:%3").arg(dir, name, p));
    if (problems.size() > 5)
        toStandardError(QStringLiteral("%1/%2: %3 more rows skipped").arg(dir, name).arg(problems.size() - 5));
    return std::make_shared<const ListChannelSet>(std::move(channels), std::move(problems));
}

QList<StreamAddress> Label::streams() const
{
    // An own address first, then every stream the import found for the
    // label (its first is the import's address); an imported address, then
    // the import's others.
    QList<StreamAddress> out{stream()};
    for (qsizetype i = origin == AddressOrigin::Own ? 0 : 1; i < imported.size(); ++i)
        if (imported.at(i).address.url != address)
            out << imported.at(i).address;
    return out;
}



QList<AddressRow> readAddressFile(const Catalogue& catalogue, const QString& path, AddressOrigin origin,
                                  const Report& report)
{
    QByteArray content;
    QString error;
    switch (files::readRegularFile(path, userdata::maxAddressFileBytes, &content, &error)) {
    case ReadResult::Missing:
        return {};
    case ReadResult::Failed:
        report(QStringLiteral("%1: %2; its addresses are not used").arg(path, error));
        return {};
    case ReadResult::Ok:
        break;
    }
    return readAddressFile(catalogue, content, path, origin, report);
}

QList<AddressRow> readAddressFile(const Catalogue& catalogue, const QByteArray& content, const QString& path,
                                  AddressOrigin origin, const Report& report)
{
    QList<AddressRow> rows;
    auto bad = [&](int line, const QString& what) {
        report(QStringLiteral("%1:%2: %3; row skipped").arg(path).arg(line).arg(what));
    };
    const QString text = QString::fromUtf8(content.sliced(userdata::bomLength(content)));
    const QStringList lines = text.split(QLatin1Char('\n'));
    auto chomp = [](QString s) {
        if (s.endsWith(QLatin1Char('\r')))
            s.chop(1);
        return s;
    };
    const int columns = lines.isEmpty() ? 0 : userdata::headerColumns(lines.first());
    if (columns == 0) {
        report(QStringLiteral("%1:1: the first line must be the header \"window<TAB>control<TAB>address\" "
                              "(optionally followed by <TAB>referrer<TAB>user_agent); file ignored")
                   .arg(path));
        return rows;
    }
    const QStringList windows = catalogue.windows();
    for (int i = 1; i < lines.size(); ++i) {
        const QString row = chomp(lines.at(i));
        const int line = i + 1;
        if (userdata::isNoteLine(row))
            continue;
        const QStringList f = row.split(QLatin1Char('\t'));
        if (f.size() != columns) {
            bad(line, QStringLiteral("%1 columns, expected %2 (%3, separated by tabs)")
                          .arg(f.size())
                          .arg(columns)
                          .arg(QString::fromLatin1(userdata::addressHeader(columns).chopped(1))
                                   .replace(u'\t', QStringLiteral(", "))));
            continue;
        }
        const bool listChannel = f[0] == listWindow();
        if (!listChannel && !windows.contains(f[0])) {
            bad(line, QStringLiteral("unknown window \"%1\"").arg(f[0]));
            continue;
        }
        if (listChannel && !isChannelKey(f[1])) {
            bad(line, QStringLiteral("\"%1\" is not the key of a list channel (a country code, /, its id)").arg(f[1]));
            continue;
        }
        if (!listChannel && !catalogue.label(f[0], f[1])) {
            bad(line, QStringLiteral("no label \"%1\" on window %2").arg(f[1], f[0]));
            continue;
        }
        switch (userdata::rowProblem(f[2], f.value(3), f.value(4), origin)) {
        case userdata::RowProblem::None:
            break;
        case userdata::RowProblem::TooLong:
            bad(line, QStringLiteral("the address, referrer or user agent is longer than %1 characters")
                          .arg(maxAddressChars));
            continue;
        case userdata::RowProblem::LocalFileNotAllowed:
            // Only the user's own file names files of this computer; an
            // import file that does was not written by an import.
            bad(line, QStringLiteral("\"%1\" is a file of this computer, which only addresses.tsv may name")
                          .arg(f[2]));
            continue;
        case userdata::RowProblem::NotAnAddress:
            bad(line, QStringLiteral("\"%1\" is not an absolute %2 URL, nor a file URL")
                          .arg(f[2], acceptedSchemesText(u"or")));
            continue;
        case userdata::RowProblem::ControlCharacter:
            bad(line, QStringLiteral("the referrer or user agent holds a control character"));
            continue;
        }
        const AddressRow r{f[0], f[1], f[2], f.value(3), f.value(4), line, origin};
        rows << r;
    }
    return rows;
}

namespace {

int applyRows(Catalogue& catalogue, const QList<AddressRow>& rows)
{
    int applied = 0;
    for (const AddressRow& r : rows) {
        Label* l = catalogue.label(r.window, r.control);
        if (!l)
            continue; // a list channel's
        ++applied;
        // An own address goes over an imported one without hiding it: the
        // import's streams stay, to be tried after it.
        if (r.origin == AddressOrigin::Own && l->origin == AddressOrigin::Imported) {
            if (l->imported.isEmpty())
                l->imported = {ImportedStream{l->stream(), {}, {}}};
        } else {
            l->imported.clear();
        }
        l->address = r.address;
        l->referrer = r.referrer;
        l->userAgent = r.userAgent;
        l->origin = r.origin;
        if (l->kind == Kind::Heading || l->kind == Kind::Inert)
            l->kind = Kind::Entry;
    }
    return applied;
}

} // namespace

int applyOverrides(Catalogue& catalogue, const QString& path, AddressOrigin origin, const Report& report)
{
    return applyRows(catalogue, readAddressFile(catalogue, path, origin, report));
}

int applyOverrides(Catalogue& catalogue, const QByteArray& content, const QString& name, AddressOrigin origin,
                   const Report& report)
{
    return applyRows(catalogue, readAddressFile(catalogue, content, name, origin, report));
}

} // namespace miravon::catalogue
