// The address files over the built-in catalogue: the imported addresses and
// the user's own, and the running catalogue they are applied to.
#include "catalogue.h"

#include "addresspolicy.h"
#include "sizelimits.h"
#include "userfiles.h"

#include <QDir>
#include <QHash>
#include <QFile>
#include <QUrl>

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

// One layer as the last finished change of the folder left it (an import
// that is still being written, or was killed, never shows half done).
int applyLayer(Catalogue& c, const QString& dir, const QString& name, AddressOrigin origin)
{
    QByteArray content;
    QString error;
    const QString path = dir + u'/' + name;
    switch (files::readCommitted(dir, name, userdata::maxAddressFileBytes, &content, &error)) {
    case ReadResult::Missing:
        return 0;
    case ReadResult::Failed:
        toStandardError(QStringLiteral("%1: %2; its addresses are not used").arg(path, error));
        return 0;
    case ReadResult::Ok:
        break;
    }
    return applyOverrides(c, content, path, origin, toStandardError);
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
{
    applyLayers();
}

// Puts the layers over the catalogue, whose labels hold the built-in values.
void RunningCatalogue::applyLayers()
{
    const int imported = applyLayer(catalogue_, configDir_, userdata::importFileName(), AddressOrigin::Imported);
    applyImportedStreams(catalogue_, configDir_);
    const int own = applyLayer(catalogue_, configDir_, userdata::ownFileName(), AddressOrigin::Own);
    qCDebug(lcCatalogue, "%d imported and %d own addresses from %s", imported, own, qUtf8Printable(configDir_));
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
        if (!windows.contains(f[0])) {
            bad(line, QStringLiteral("unknown window \"%1\"").arg(f[0]));
            continue;
        }
        if (!catalogue.label(f[0], f[1])) {
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
    for (const AddressRow& r : rows) {
        Label* l = catalogue.label(r.window, r.control);
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
    return int(rows.size());
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
