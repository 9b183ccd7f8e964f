#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace miravon::guide {

// One channel of the user's lists that wants a guide, as the list channels'
// model gives it. Catalogue entries matched to a list channel are asked
// about by that channel's key (the caller maps them).
struct ListChannel {
    QString key;       // the caller's own key; the guide's queries take it
    QString tvgId;     // matched exactly against a guide channel's id
    QStringList names; // its name in the list, its tvg-name, ...
    QString country;   // ISO 3166-1 alpha-2, upper case; empty when unknown
    QString language;  // a hint: ISO 639-1 ("fr"), from its country; may be empty
};

// A channel name as names are compared: the import's folding of channel
// names (diacritics, case, punctuation and suffix words such as HD gone).
// The one place the folding is chosen.
QString foldName(QStringView name);
// Changes whenever foldName() does: names folded by an older folding (kept
// in a stored guide) no longer compare, and such a store is read again.
inline constexpr quint32 foldVersion = 1;

// The country a guide channel's id names by its last label ("VTV1.vn",
// "BBCOne.uk", "France2.fr@SD"); empty when it names none.
QString countryOfId(QStringView id);

// Which list channels a guide channel serves: those whose tvg-id is its id
// exactly; else those with a name that folds as one of its display names,
// within its country. A guide channel of no known country serves a name
// only when every list channel of that name is of one country.
class ChannelMatcher {
public:
    ChannelMatcher() = default;
    explicit ChannelMatcher(QList<ListChannel> channels);

    const QList<ListChannel>& channels() const { return channels_; }
    bool isEmpty() const { return channels_.isEmpty(); }

    // The list channels a guide channel may serve (indexes into channels(),
    // in list order): by its id, and by its names. Of several guide
    // channels, one that serves a list channel by id wins over one by name.
    struct Served {
        QList<int> byId;
        QList<int> byName; // none of byId
        bool isEmpty() const { return byId.isEmpty() && byName.isEmpty(); }
    };
    Served serve(const QString& id, const QStringList& foldedNames, const QString& country) const;
    // The same of UTF-8 text, as a stored guide keeps it: `foldedNames`
    // separated by `separator`.
    Served serve(QByteArrayView id, QByteArrayView foldedNames, char separator, QByteArrayView country) const;
    QList<int> byId(const QString& id) const { return ids_.value(id.toUtf8()); }

private:
    void addByName(QByteArrayView name, QByteArrayView country, QList<int>* out) const;

    QList<ListChannel> channels_;
    QList<QByteArray> countries_; // UTF-8, by channel
    QHash<QByteArray, QList<int>> ids_;
    QHash<QByteArray, QList<int>> names_; // folded name -> channels of every country
};

} // namespace miravon::guide
