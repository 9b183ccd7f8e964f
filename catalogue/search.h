#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

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
// The Vietnamese name a country is shown by; for a country the table does
// not name, its English name from the locale data, else the code.
QString countryName(const QString& code);

// One entry, film or channel of the user's lists as the finder knows it.
struct Entry {
    QString window;
    QString panel;
    QString control;
    QString caption;       // as shown
    QStringList names;     // other names it is known by (a logo's channel)
    QStringList countries; // codes
    QString place;         // where it lives, as a person says it ("Đức", "Phim")
    bool hasAddress = false;
    // A channel of the user's lists (window catalogue::listWindow()); it
    // always has an address.
    bool listChannel = false;
};

// Entries with their words folded, made once and shared: a list's
// thousands of channels are folded off the UI thread when they are read,
// and only the catalogue's entries again when an address changes.
class Segment {
public:
    Segment() = default;
    explicit Segment(QList<Entry> entries);

    const Entry& entry(qsizetype i) const { return entries_.at(i); }
    qsizetype size() const { return entries_.size(); }

private:
    friend class Index;
    struct Words {
        QStringList caption;
        QStringList names;
        QStringList country;
        QString joined; // the caption's words run together
    };
    QList<Entry> entries_;
    QList<Words> words_;
};

class Index {
public:
    Index() = default;
    explicit Index(QList<Entry> entries);
    // The segments one after the other: entry numbers run on from one to
    // the next.
    explicit Index(QList<std::shared_ptr<const Segment>> segments);

    struct Hit {
        int entry = 0;
        int score = 0;
    };
    // Every entry each word of `query` begins a word of (caption, other
    // names, country names), best first: entries with an address, then
    // the channels of the user's lists, then entries without an address;
    // within each, the closest (the caption itself, then its start, whole
    // words before beginnings, caption before other names before the
    // country), then in order. At most `limit`.
    QList<Hit> find(QStringView query, int limit = 100) const;

    const Entry& entry(int i) const;
    qsizetype size() const { return size_; }

private:
    QList<std::shared_ptr<const Segment>> segments_;
    qsizetype size_ = 0;
};

} // namespace miravon::search
