#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Finding any entry or film by what the user types: its caption as shown,
// the channel a logo stands for, or its country in Vietnamese or English,
// compared as every name is (namefold.h: no diacritics, no case, no
// punctuation).
namespace miravon::search {

// Text as it is compared: text::fold() (namefold.h), the folding the
// import, the lists' channel keys and the programme guide use.
QString fold(QStringView text);

// A country's names, from countrynames.tsv: its code (ISO 3166-1 alpha-2,
// upper case), its English and Vietnamese names, the usual one first.
struct Country {
    QString code;
    QStringList english;
    QStringList vietnamese;
};
const QList<Country>& countries();
// The Vietnamese name a country is shown by; the code when it has none.
QString countryName(const QString& code);

// One entry or film as the finder knows it.
struct Entry {
    QString window;
    QString panel;
    QString control;
    QString caption;       // as shown
    QStringList names;     // other names it is known by (a logo's channel)
    QStringList countries; // codes
    QString place;         // where it lives, as shown
    bool hasAddress = false;
};

class Index {
public:
    Index() = default;
    explicit Index(QList<Entry> entries);

    struct Hit {
        int entry = 0;
        int score = 0;
    };
    // Every entry each word of `query` begins a word of (caption, other
    // names, country names), best first: those with an address before
    // those without, then the closest (the caption itself, then its start,
    // whole words before beginnings, caption before other names before the
    // country), then catalogue order. At most `limit`.
    QList<Hit> find(QStringView query, int limit = 100) const;

    const Entry& entry(int i) const { return entries_.at(i); }
    qsizetype size() const { return entries_.size(); }

private:
    struct Words {
        QStringList caption;
        QStringList names;
        QStringList country;
        QString joined; // the caption's words run together
    };
    QList<Entry> entries_;
    QList<Words> words_;
};

} // namespace miravon::search
