#pragma once

#include "programwindow.h"

#include <QHash>
#include <QStringList>

class QAbstractButton;
class QFrame;
class QListWidget;

namespace miravon {

class FrameUni;
class PillButton;
class StatusText;

// The chooser page (1 to 3) a control of the chooser stands on; 0 for none.
int chooserPageOf(const QString& control);

// The country chooser `chonkenh`: three pages `qg1` to `qg3` of country
// lines, each page with a button to the next, and a close button below them.
// Every click goes to the chooser's step table; controls without a row do
// nothing. At load it stands against the right edge of frmmain.
class ChooserWindow : public ProgramWindow {
    Q_OBJECT
public:
    explicit ChooserWindow(Program& program);

    void load() override;
    // Against the right edge of `window`, which it is opened over, when that
    // window's frame covers its left edge by a few pixels (the viewer windows
    // differ that much in width); any other place is kept.
    void standBeside(WindowId window);

    FrameUni* page(const QString& name) const { return pages_.value(name); }

    // --- Countries no panel stands for, from the user's lists ---
    // "Quốc gia khác ›" below the pages, left of their page buttons, on
    // every page, while the user's lists have such countries. It opens, in
    // the pages' place, every such country by its Vietnamese name with the
    // number of its channels; choosing one (a click, Enter) opens its
    // channels in the window the chooser serves (Program::chooserOpener()).
    // "‹ Quay lại", Esc or a page step puts the countries away.
    QAbstractButton* otherCountriesButton() const;
    void openOtherCountries();
    void closeOtherCountries();
    bool otherCountriesOpen() const;
    QListWidget* otherCountryRows() const { return countryRows_; }
    StatusText* otherCountriesCount() const { return countryCount_; }
    // The countries, in the order shown.
    QStringList otherCountryCodes() const { return countryCodes_; }
    // Opens the channels of `code` in the window the chooser serves.
    bool openCountry(const QString& code);
    // A step set one of the pages (Program::setPanelVisible).
    void pageStepped();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildOtherCountries();
    void updateOtherCountries();

    QHash<QString, FrameUni*> pages_;
    PillButton* otherButton_ = nullptr;
    QFrame* countries_ = nullptr;
    QListWidget* countryRows_ = nullptr;
    StatusText* countryCount_ = nullptr;
    QStringList countryCodes_;
};

} // namespace miravon
