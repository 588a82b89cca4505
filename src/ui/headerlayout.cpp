#include "ui/headerlayout.h"

#include "host/failurelog.h"
#include "navigation/addresses.h"
#include "ui/accessibility.h"
#include "ui/bevel.h"
#include "ui/image.h"
#include "ui/jpegimage.h"
#include "ui/urllabel.h"

#include <QEvent>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <array>

namespace ostrel::ui {

namespace {

using enum ostrel::Control;
using enum Kind;
using enum FrameStyle;
using enum TextAlign;
constexpr Anchor L = Anchor::Left;
constexpr Anchor R = Anchor::Right;

// clang-format off
constexpr std::array kLayout{
//  control                 kind       left  top width height anchor visible caption             hint                                   frame    align      sp wrap  font glyph
    ControlLayout{JvImage1,               Image,     842, -11, 197, 93, R, true,  "",                 "",                                    fsNone,  ttaRight,  2, false, 14, ""},
    ControlLayout{bvl1,                   Bevel,     681,   4,   9, 81, L, true,  "",                 "",                                    fsNone,  ttaRight,  2, false, 14, ""},
    ControlLayout{btnPortaal,             Button,    693,  35, 103, 27, L, true,  "Ostrel Portaal",   "Ostrel Portaal voor Tussenpersonen",  fsNone,  ttaRight,  2, false, 14, "portaal"},
    ControlLayout{btnPolisvoorwaarden,    Button,    693,   5, 138, 27, L, true,  "Polisvoorwaarden", "Polisvoorwaarden",                    fsNone,  ttaRight,  2, false, 14, "polisvoorwaarden"},
    ControlLayout{btnCalculator,          Button,    942,  65,  27, 29, R, true,  "",                 "Calculator  F12",                     fsNone,  ttaRight,  2, false, 14, "calculator"},
    ControlLayout{btnTeamviewer,          Button,    566,  61, 107, 29, L, true,  "Teamviewer",       "Teamviewer F11",                      fsNone,  ttaRight,  2, true,  15, "teamviewer"},
    ControlLayout{BtnHelpdesk,            Button,    566,  32,  79, 29, L, true,  "Support",          "Support",                             fsNone,  ttaRight,  2, false, 15, "helpdesk"},
    ControlLayout{BtnDownloads,           Button,    456,   5,  80, 85, L, true,  "Downloads",        "Downloads ",                          fsLight, ttaBottom, 7, false, 15, "downloads"},
    ControlLayout{BtnOstrelWeb,           Button,    303,   5,  81, 85, L, true,  "Ostrel Web",       "Ostrel Web F5",                       fsLight, ttaBottom, 7, true,  15, "ostrelweb"},
    ControlLayout{BtnBestanden,           Button,    222,   5,  82, 85, L, true,  "Bestanden",        "Bestanden F4",                        fsLight, ttaBottom, 7, true,  15, "bestanden"},
    ControlLayout{BtnFormulieren,         Button,    143,   5,  80, 85, L, true,  "Formulieren",      "Formulieren",                         fsLight, ttaBottom, 7, false, 15, "formulieren"},
    ControlLayout{BtnOWS,                 Button,     80,   5,  64, 85, L, true,  "OWS",              "OWS F2",                              fsLight, ttaBottom, 7, true,  15, "ows"},
    ControlLayout{BtnHome,                Button,     13,   5,  68, 85, L, true,  "Home",             "",                                    fsLight, ttaBottom, 7, true,  15, "home"},
    ControlLayout{LblAdres,               Label,    1038,  16, 215, 48, R, true,  "Ostrelweg 1, 1234 AB Ostrel\nPostbus 100, 1230 AA Ostrel\nT 012-3456789 F 012-3456790",
                                                                                                    "",                                    fsNone,  ttaRight,  2, false, 15, ""},
    ControlLayout{LblUrl,                 UrlLabel, 1040,  65, 150, 16, R, true,  "",                 "",                                    fsNone,  ttaRight,  2, false, 15, ""},
    ControlLayout{LblMail,                UrlLabel, 1213,  65,  37, 16, R, true,  "e-mail",           "",                                    fsNone,  ttaRight,  2, false, 15, ""},
    ControlLayout{bvl2,                   Bevel,     552,   4,  11, 81, L, true,  "",                 "",                                    fsNone,  ttaRight,  2, false, 14, ""},
    ControlLayout{btnIntranet,            Button,    693,  64, 103, 27, L, false, "Ostrel Intranet",  "Ostrel Intranet",                     fsNone,  ttaRight,  2, false, 14, "intranet"},
    ControlLayout{btnPIM,                 Button,    565,   5,  97, 27, L, true,  "PIM / MKB",        "Premie Indicatie Module MKB",         fsNone,  ttaRight,  2, false, 14, "pim"},
    ControlLayout{JvTransparentButton1,   Button,    976,  65,  59, 29, R, true,  "Refresh",          "Tijdelijke internetbestanden verwijderen en vernieuwen",
                                                                                                                                           fsNone,  ttaRight,  2, false, 14, ""},
};

constexpr std::array kCompact{
    CompactStep{BtnOWS, CompactStep::Hide, 0},
    CompactStep{BtnBestanden, CompactStep::Hide, 0},
    CompactStep{bvl2, CompactStep::Hide, 0},
    CompactStep{btnIntranet, CompactStep::MoveBy, -145},
    CompactStep{BtnOstrelWeb, CompactStep::PlaceAt, 80},
    CompactStep{BtnFormulieren, CompactStep::PlaceAt, 161},
    CompactStep{BtnDownloads, CompactStep::MoveBy, -145},
    CompactStep{BtnHelpdesk, CompactStep::MoveBy, -145},
    CompactStep{btnTeamviewer, CompactStep::MoveBy, -145},
    CompactStep{bvl1, CompactStep::MoveBy, -145},
    CompactStep{btnPIM, CompactStep::MoveBy, -145},
    CompactStep{btnPolisvoorwaarden, CompactStep::MoveBy, -145},
    CompactStep{btnPortaal, CompactStep::MoveBy, -145},
};
// clang-format on

// Every control has its row, in the enum's order (the stacking order), so a control's row and
// widget are found by its index.
constexpr bool OneRowPerControlInOrder()
{
    if (kLayout.size() != kControlCount)
        return false;
    for (std::size_t i = 0; i < kLayout.size(); ++i)
        if (IndexOf(kLayout[i].control) != i)
            return false;
    return true;
}
static_assert(OneRowPerControlInOrder());

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QImage resourceImage(std::string_view name, const char* suffix)
{
    return ReadPicture(QStringLiteral(":/assets/") + qs(name) + QLatin1String(suffix), "bmp");
}

QPixmap logo(const QString& name)
{
    QFile file(QStringLiteral(":/assets/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    JpegResult decoded = DecodeJpeg(file.readAll());
    if (decoded.image.isNull())
        qCWarning(lcFailures, "the logo: %s", qPrintable(decoded.error));
    return QPixmap::fromImage(decoded.image);
}

ScaledPicture logo()
{
    return {logo(QStringLiteral("logo.jpg")), logo(QStringLiteral("logo@2x.jpg"))};
}

TGraphicControl* create(const ControlLayout& row, QWidget* panel, host::Shell& shell)
{
    TGraphicControl* control = nullptr;
    switch (row.kind) {
    case Button: {
        auto* button = new TJvTransparentButton(panel);
        button->Caption = qs(row.caption);
        button->Frame = row.frame;
        button->Align = row.align;
        button->Spacing = row.spacing;
        button->WordWrap = row.wordWrap;
        control = button;
        break;
    }
    case Image:
        control = new TJvImage(panel);
        break;
    case Label:
    case UrlLabel: {
        TRzLabel* label = row.kind == Label ? new TRzLabel(panel) : new TRzURLLabel(panel, shell);
        QFont font = HeaderFont(row.fontHeight);
        font.setUnderline(row.kind == UrlLabel);
        label->setFont(font);
        label->move(row.left, row.top);
        label->SetCaption(qs(row.caption));
        control = label;
        break;
    }
    case Bevel:
        control = new TBevel(panel);
        break;
    }
    control->setObjectName(qs(NameOf(row.control)));
    if (row.kind != Label && row.kind != UrlLabel) {
        control->setFont(HeaderFont(row.fontHeight));
        control->setGeometry(row.left, row.top, row.width, row.height);
    }
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    control->setPalette(palette);
    control->SetHint(qs(row.hint));
    control->setVisible(row.visible);
    return control;
}

// What a screen reader says of a control: its caption, or the calculator, which has none, by its
// hint; the hint besides where it says more, and of a hint that is the caption and a function key
// ("OWS F2") only the key.
void describe(TGraphicControl* control, const ControlLayout& row)
{
    QString name;
    if (auto* button = qobject_cast<TJvTransparentButton*>(control))
        name = button->Caption;
    else if (auto* label = qobject_cast<TRzLabel*>(control))
        name = label->Caption();
    else if (row.kind == Image)
        name = QStringLiteral("Contact"); // the logo leads to the contact page
    const QString hint = qs(row.hint).simplified();
    name = name.isEmpty() ? hint : name.split(u'\n').join(QStringLiteral(", "));
    control->setAccessibleName(name);
    const QString key = hint.startsWith(name + u' ') ? hint.mid(name.size() + 1) : QString();
    const bool functionKey =
        key.size() >= 2 && key.size() <= 3 && key.front() == u'F' && key.mid(1).toInt() > 0;
    control->setAccessibleDescription(functionKey ? key : hint == name ? QString() : hint);
}

} // namespace

const std::span<const ControlLayout> kHeaderLayout{kLayout};
const std::span<const CompactStep> kCompactLayout{kCompact};

Header::Header(QWidget* panel, host::Shell& shell) : QObject(panel), panel_(panel)
{
    InstallAccessibility(); // before a control is named: naming one makes its interface
    for (const ControlLayout& row : kHeaderLayout) {
        widgets_[IndexOf(row.control)] = create(row, panel, shell);
        lefts_[IndexOf(row.control)] = row.left;
    }
    panel->setFixedHeight(kHeaderRowHeight);

    // The web address and the e-mail address are the organisation's, compiled in.
    auto* url = Get<TRzURLLabel>(Control::LblUrl);
    url->SetCaption(qs(addresses::kWebAddress));
    url->URL = QStringLiteral("http://") + qs(addresses::kWebAddress);
    Get<TRzURLLabel>(Control::LblMail)->URL = QStringLiteral("mailto:") + qs(addresses::kInfoMail);
    for (const ControlLayout& row : kHeaderLayout)
        describe(Widget(row.control), row);

    panel->installEventFilter(this);
    // The pictures are decoded once the event loop runs: at start that is the pause after the
    // POST, before the window is shown, so that the POST leaves 2 ms sooner.
    QTimer::singleShot(0, this, &Header::loadPictures);
}

void Header::loadPictures()
{
    for (const ControlLayout& row : kHeaderLayout) {
        if (row.kind == Image)
            Get<TJvImage>(row.control)->Picture = logo();
        else if (!row.glyph.empty())
            Get<TJvTransparentButton>(row.control)
                ->SetGlyph(resourceImage(row.glyph, ".bmp"), resourceImage(row.glyph, "@2x.bmp"));
    }
    panel_->update();
}

TGraphicControl* Header::Widget(Control control) const
{
    return widgets_[IndexOf(control)];
}

namespace {

constexpr int kTextColumnsLeft = 552; // bvl2, the divider before the text buttons

Header::Group groupOf(const ControlLayout& row)
{
    if (row.anchor == Anchor::Right)
        return Header::Contact;
    return row.left < kTextColumnsLeft ? Header::LargeButtons : Header::TextColumns;
}

} // namespace

// Where each group reaches in one row at the design width; a control the compact layout hid takes
// no room.
auto Header::extents() const -> std::array<Extent, kGroups>
{
    std::array<Extent, kGroups> groups;
    for (const ControlLayout& row : kHeaderLayout) {
        if (Widget(row.control)->isHidden() && row.visible)
            continue;
        Extent& group = groups[groupOf(row)];
        group.left = std::min(group.left, lefts_[IndexOf(row.control)]);
        group.right = std::max(group.right, lefts_[IndexOf(row.control)] + row.width);
    }
    return groups;
}

// A group stays on the row of the one before it while it fits beside it; the right-anchored group
// keeps its design distance to the panel's right edge on whichever row it stands. The labels size
// themselves to their texts; their design widths fix where they stand.
void Header::layOut(int panelWidth)
{
    const std::array<Extent, kGroups> groups = extents();
    std::array<int, kGroups> rowOf{}, shift{};
    shift[Contact] = panelWidth - kDesignPanelWidth;
    if (groups[TextColumns].right > panelWidth) {
        rowOf[TextColumns] = 1;
        shift[TextColumns] = groups[LargeButtons].left - groups[TextColumns].left;
    }
    const int columnsEnd = groups[TextColumns].right + shift[TextColumns];
    rowOf[Contact] = rowOf[TextColumns] + (columnsEnd > groups[Contact].left + shift[Contact] ? 1 : 0);

    for (const ControlLayout& row : kHeaderLayout) {
        const Group group = groupOf(row);
        Widget(row.control)
            ->move(lefts_[IndexOf(row.control)] + shift[group], row.top + rowOf[group] * kHeaderRowHeight);
    }
    panel_->setFixedHeight((rowOf[Contact] + 1) * kHeaderRowHeight);
}

bool Header::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == panel_ && event->type() == QEvent::Resize)
        layOut(panel_->width());
    return false;
}

void Header::ApplyCompactLayout()
{
    for (const CompactStep& step : kCompactLayout) {
        int& left = lefts_[IndexOf(step.control)];
        switch (step.op) {
        case CompactStep::Hide:
            Widget(step.control)->hide();
            break;
        case CompactStep::MoveBy:
            left += step.value;
            break;
        case CompactStep::PlaceAt:
            left = step.value;
            break;
        }
    }
    layOut(panel_->width());
}

} // namespace ostrel::ui
