// The header as a user sees and handles it: where every control stands, how it is drawn, and what
// the pointer does to it.
#include "fakes.h"
#include "qtprint.h"
#include "testprofile.h"

#include "ui/TWebNavigator.h"
#include "ui/headerlayout.h"
#include "web/webenginebrowser.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QTest>

#include <cmath>

#include <gtest/gtest.h>

namespace ostrel::ui {
namespace {

const QRgb kPanel = qRgb(44, 106, 149);

QRgb shadow()
{
    return QApplication::palette().color(QPalette::Dark).rgb();
}
QRgb highlight()
{
    return QApplication::palette().color(QPalette::Light).rgb();
}

struct Window {
    testing::FakeServices fakes;
    TWebNavigator window{fakes.services, testing::TestProfile::Get()};

    explicit Window(int clientWidth = kDesignPanelWidth)
    {
        window.resize(clientWidth, 841);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QImage header() const { return window.PnlMenu->grab().toImage(); }
    QRgb at(int x, int y) const { return header().pixel(x, y); }
    TGraphicControl* control(Control control) const
    {
        const std::string_view name = NameOf(control);
        return window.PnlMenu->findChild<TGraphicControl*>(QString::fromUtf8(name.data(), name.size()));
    }
};

void hover(QWidget* widget, bool inside)
{
    if (inside) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), widget->mapToGlobal(QPointF(1, 1)));
        QApplication::sendEvent(widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(widget, &leave);
    }
}

// ---- Geometry ----

// The header's design positions at the design client width of 1259, the left after one and after
// two applications of the compact layout (kHidden: it hides the control, which keeps its place),
// and, for the right-anchored controls, their gap to the panel's right edge.
constexpr int kHidden = -1;
struct Place {
    Control control;
    int left, top, width, height, rightGap;
    bool shown;
    int compact, compactTwice;
};
// clang-format off
constexpr Place kDesign[]{
    {Control::JvImage1,              842, -11, 197, 93, 220, true,   842,     842},
    {Control::bvl1,                  681,   4,   9, 81,   0, true,   536,     391},
    {Control::btnPortaal,            693,  35, 103, 27,   0, true,   548,     403},
    {Control::btnPolisvoorwaarden,   693,   5, 138, 27,   0, true,   548,     403},
    {Control::btnCalculator,         942,  65,  27, 29, 290, true,   942,     942},
    {Control::btnTeamviewer,         566,  61, 107, 29,   0, true,   421,     276},
    {Control::BtnHelpdesk,           566,  32,  79, 29,   0, true,   421,     276},
    {Control::BtnDownloads,          456,   5,  80, 85,   0, true,   311,     166},
    {Control::BtnOstrelWeb,          303,   5,  81, 85,   0, true,    80,      80},
    {Control::BtnBestanden,          222,   5,  82, 85,   0, true,   kHidden, kHidden},
    {Control::BtnFormulieren,        143,   5,  80, 85,   0, true,   161,     161},
    {Control::BtnOWS,                 80,   5,  64, 85,   0, true,   kHidden, kHidden},
    {Control::BtnHome,                13,   5,  68, 85,   0, true,    13,      13},
    {Control::LblAdres,             1038,  16, 215, 48,   6, true,  1038,    1038},
    {Control::LblUrl,               1040,  65, 150, 16,  69, true,  1040,    1040},
    {Control::LblMail,              1213,  65,  37, 16,   9, true,  1213,    1213},
    {Control::bvl2,                  552,   4,  11, 81,   0, true,   kHidden, kHidden},
    {Control::btnIntranet,           693,  64, 103, 27,   0, false,  548,     403},
    {Control::btnPIM,                565,   5,  97, 27,   0, true,   420,     275},
    {Control::JvTransparentButton1,  976,  65,  59, 29, 224, true,   976,     976},
};
// clang-format on

// In the HeaderAtScale suite, which ctest runs again on scaled screens: the places do not change
// with the scale, and what the panel draws stands on them times the scale.
TEST(HeaderAtScale, everyControlStandsAndIsDrawnAtItsDesignPlace)
{
    Window w;
    TWebNavigator& n = w.window;
    ASSERT_EQ(n.PnlMenu->geometry(), QRect(0, 0, 1259, 97));
    EXPECT_EQ(n.WebBrowser->geometry(), QRect(0, 97, 1259, 744));
    const auto expectPlaces = [&](const char* when, auto leftOf) {
        for (const Place& p : kDesign) {
            const QWidget* control = w.control(p.control);
            const int left = leftOf(p);
            EXPECT_EQ(control->x(), left == kHidden ? p.left : left) << NameOf(p.control) << when;
            EXPECT_EQ(control->y(), p.top) << NameOf(p.control) << when;
            EXPECT_EQ(control->isVisibleTo(n.PnlMenu), p.shown && left != kHidden)
                << NameOf(p.control) << when;
        }
    };
    for (const Place& p : kDesign) {
        const QWidget* control = w.control(p.control);
        ASSERT_NE(control, nullptr) << NameOf(p.control);
        // The labels size themselves to their texts, which with this build's web address and the
        // machine's fonts are not of the design widths: their lefts follow the right-gap rule.
        if (!qobject_cast<const TRzLabel*>(control)) {
            EXPECT_EQ(QRectF(control->rect()), QRectF(0, 0, p.width, p.height)) << NameOf(p.control);
        }
        EXPECT_EQ(control->focusPolicy(), Qt::NoFocus) << NameOf(p.control);
        EXPECT_FALSE(control->testAttribute(Qt::WA_NativeWindow)) << NameOf(p.control);
    }
    expectPlaces(" at the design width", [](const Place& p) { return p.left; });

    // What a hover changes on a large button is its raised frame: the design rectangle times the
    // scale, to the half device pixel where Qt rounds a fractional edge.
    const qreal scale = qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble();
    ASSERT_EQ(n.devicePixelRatioF(), scale) << "the program turned the scale off";
    for (const Place& p : kDesign) {
        auto* button = qobject_cast<TJvTransparentButton*>(w.control(p.control));
        if (!button || button->Frame != FrameStyle::fsLight || !p.shown)
            continue;
        hover(button, false); // a synthetic enter may have reached it through an earlier one
        const QImage atRest = w.header();
        hover(button, true);
        const QImage hovered = w.header();
        hover(button, false);
        QRect frame;
        for (int y = 0; y < hovered.height(); ++y)
            for (int x = 0; x < hovered.width(); ++x)
                if (hovered.pixel(x, y) != atRest.pixel(x, y))
                    frame |= QRect(x, y, 1, 1);
        const QRectF expected(QPointF(p.left, p.top) * scale, QSizeF(p.width, p.height) * scale);
        const QRectF found(frame);
        for (auto edge : {&QRectF::left, &QRectF::top, &QRectF::right, &QRectF::bottom})
            EXPECT_NEAR((found.*edge)(), (expected.*edge)(), 0.5)
                << NameOf(p.control) << " " << found << " " << expected;
    }

    // Maximised on a screen 1920 wide the right-anchored controls keep their gaps (the labels' by
    // their design widths); back at the design width they return.
    n.resize(1920, 841);
    expectPlaces(" at 1920",
                 [](const Place& p) { return p.rightGap ? 1920 - p.rightGap - p.width : p.left; });
    n.resize(1259, 841);
    expectPlaces(" back at the design width", [](const Place& p) { return p.left; });

    n.ApplyCompactLayout();
    expectPlaces(" compact", [](const Place& p) { return p.compact; });
    n.ApplyCompactLayout();
    expectPlaces(" compact twice", [](const Place& p) { return p.compactTwice; });
}

TEST(HeaderGeometry, windowIsNeverSmallerThanTheHeader)
{
    Window w;
    EXPECT_EQ(w.window.minimumSize(), QSize(1259, 761));
}

TEST(CompactLayout, intranetButtonShownUnderThePortaalButton)
{
    Window w;
    w.window.ApplyCompactLayout();
    w.window.btnIntranet->show();
    EXPECT_EQ(w.window.btnIntranet->pos(), QPoint(548, 64));
    EXPECT_EQ(w.window.btnPortaal->pos(), QPoint(548, 35));
}

// ---- Drawing ----

TEST(HeaderDrawing, panelColourShowsInTheGapsAndThroughTransparentGlyphPixels)
{
    Window w;
    EXPECT_EQ(w.at(3, 50), kPanel);
    EXPECT_EQ(w.at(700, 93), kPanel) << "under the text buttons";
    EXPECT_EQ(w.at(700, 80), kPanel) << "the hidden intranet button leaves plain panel";

    // BtnHome's glyph is drawn at 18, 7 within the button: each of its pixels is the glyph's own
    // colour, or the panel's where the glyph has its transparent colour.
    const QImage glyph = w.window.BtnHome->Glyph().normal.toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(glyph.size(), QSize(32, 32));
    const QImage header = w.header();
    int transparent = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb expected = qAlpha(glyph.pixel(x, y)) == 0 ? kPanel : glyph.pixel(x, y);
            transparent += qAlpha(glyph.pixel(x, y)) == 0;
            ASSERT_EQ(header.pixel(13 + 18 + x, 5 + 7 + y), expected) << x << "," << y;
        }
    EXPECT_GT(transparent, 0);
}

TEST(HeaderDrawing, largeButtonRaisesItsFrameOnHoverAndSinksItWithAnOffsetOnPress)
{
    Window w;
    const QRgb highlight = ui::highlight();
    const QRgb shadow = ui::shadow();
    ASSERT_NE(highlight, shadow);
    TJvTransparentButton* home = w.window.BtnHome; // 13, 5, 68 x 85
    const QRect r = home->geometry();
    EXPECT_EQ(w.at(r.left(), r.top() + 40), kPanel) << "no frame at rest";

    hover(home, true);
    EXPECT_EQ(w.at(r.left() + 30, r.top()), highlight);
    EXPECT_EQ(w.at(r.left(), r.top() + 40), highlight);
    EXPECT_EQ(w.at(r.left() + 30, r.bottom()), shadow);
    EXPECT_EQ(w.at(r.right(), r.top() + 40), shadow);
    const QImage hovered = w.header();

    QTest::mousePress(home, Qt::LeftButton, {}, QPoint(30, 40));
    EXPECT_EQ(w.at(r.left() + 30, r.top()), shadow);
    EXPECT_EQ(w.at(r.left(), r.top() + 40), shadow);
    EXPECT_EQ(w.at(r.left() + 30, r.bottom()), highlight);
    EXPECT_EQ(w.at(r.right(), r.top() + 40), highlight);
    const QImage pressed = w.header();
    // Glyph and caption one pixel right and down: inside the frame, the pressed picture is the
    // hovered one shifted.
    const QRect inner = r.adjusted(2, 2, -2, -2);
    EXPECT_EQ(pressed.copy(inner.translated(1, 1)), hovered.copy(inner));
    QTest::mouseRelease(home, Qt::LeftButton, {}, QPoint(30, 40));
}

TEST(HeaderDrawing, textButtonsHaveNoFrameAndUnderlineTheirCaptionOnlyWhileHovered)
{
    Window w;
    TJvTransparentButton* pim = w.window.btnPIM;
    const QRect r = pim->geometry();
    const QImage before = w.header().copy(r);
    hover(pim, true);
    EXPECT_TRUE(pim->font().underline());
    const QImage hovered = w.header().copy(r);
    EXPECT_EQ(hovered.pixel(0, 13), kPanel) << "fsNone draws no frame";
    EXPECT_EQ(hovered.pixel(r.width() / 2, 0), kPanel);
    EXPECT_NE(hovered, before) << "the underline shows";
    hover(pim, false);
    EXPECT_FALSE(pim->font().underline());
    EXPECT_EQ(w.header().copy(r), before);

    hover(w.window.BtnHome, true);
    EXPECT_FALSE(w.window.BtnHome->font().underline()) << "large buttons never underline";
    const QRect refresh = w.window.JvTransparentButton1->geometry();
    const QImage restingRefresh = w.header().copy(refresh);
    hover(w.window.JvTransparentButton1, true);
    EXPECT_FALSE(w.window.JvTransparentButton1->font().underline());
    EXPECT_EQ(w.header().copy(refresh), restingRefresh)
        << "the refresh button shows neither frame nor underline";
}

TEST(HeaderDrawing, largeButtonCaptionStartsBelowTheGlyphAndSpacing)
{
    Window w;
    const QRect r = w.window.BtnHome->geometry();
    const QImage header = w.header();
    int firstCaptionRow = -1;
    for (int y = 7 + 32; y < r.height() && firstCaptionRow < 0; ++y)
        for (int x = 0; x < r.width(); ++x)
            if (header.pixel(r.left() + x, r.top() + y) != kPanel) {
                firstCaptionRow = y;
                break;
            }
    EXPECT_GE(firstCaptionRow, 46);
    EXPECT_LE(firstCaptionRow, 46 + 6) << "the caption begins at its line's top, below the glyph";
}

TEST(HeaderDrawing, dividersAreALoweredTwoPixelLineAtTheirLeftEdge)
{
    Window w;
    const QRect r = w.window.bvl1->geometry();
    EXPECT_EQ(w.at(r.left(), r.top() + 40), shadow());
    EXPECT_EQ(w.at(r.left() + 1, r.top() + 40), highlight());
    EXPECT_EQ(w.at(r.left() + 2, r.top() + 40), kPanel);
}

TEST(HeaderTexts, hintsAndCaptionsAreExact)
{
    Window w;
    EXPECT_EQ(w.window.BtnHome->toolTip(), QString());
    EXPECT_EQ(w.window.btnCalculator->toolTip(), u"Calculator  F12");
    EXPECT_EQ(w.window.BtnDownloads->toolTip(), u"Downloads ");
    EXPECT_EQ(w.window.btnPortaal->toolTip(), u"Ostrel Portaal voor Tussenpersonen");
    EXPECT_EQ(w.window.btnPIM->Caption, u"PIM / MKB");
    EXPECT_EQ(w.window.LblMail->Caption(), u"e-mail");
    EXPECT_TRUE(w.window.LblUrl->font().underline());
    EXPECT_EQ(w.window.LblAdres->Caption().count(QLatin1Char('\n')), 2);
}

// ---- Scaled screens: ctest runs this suite again with QT_SCALE_FACTOR at 1.25, 1.5 and 2 ----

// The picture as the panel would show it, drawn into a rectangle of `size` device pixels.
QImage onPanel(const QPixmap& picture, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(kPanel);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(image.rect(), picture);
    return image;
}

double meanDifference(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum +=
                std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (a.width() * a.height());
}

TEST(HeaderAtScale, nothingIsCutAndPicturesAreMadeForTheScale)
{
    Window w;
    const qreal scale = qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble();
    ASSERT_EQ(w.window.devicePixelRatioF(), scale) << "the program turned the scale off";
    const auto device = [scale](QRectF design) {
        return QRectF(design.topLeft() * scale, design.size() * scale);
    };

    // Nothing reaches past the panel, and every caption fits its button.
    const QRect panel = w.window.PnlMenu->rect();
    for (const ControlLayout& row : kHeaderLayout) {
        const TGraphicControl* control = w.control(row.control);
        EXPECT_TRUE(panel.contains(control->geometry()) || row.kind == Kind::Image) << NameOf(row.control);
        const auto* button = qobject_cast<const TJvTransparentButton*>(control);
        if (!button || button->Caption.isEmpty())
            continue;
        const QFontMetricsF metrics(button->font(), button);
        const qreal room = button->width() - (row.align == TextAlign::ttaRight ? row.spacing : 0);
        for (const QString& line :
             button->WordWrap ? button->Caption.split(u' ') : QStringList{button->Caption})
            EXPECT_LE(metrics.horizontalAdvance(line), room)
                << NameOf(row.control) << " " << line.toStdString();
    }

    // The home glyph and the logo are drawn from the picture made for this scale: what the panel
    // shows is nearer to it than to the other one.
    struct Shown {
        const ScaledPicture& picture;
        QRectF place;   // the whole picture, in the panel's design pixels
        QRectF visible; // the part of it to compare
    };
    const QRectF glyph(13 + 18, 5 + 7, 32, 32);
    const QRectF logo(842, -11, 200, 82);
    for (const Shown& shown :
         {Shown{w.window.BtnHome->Glyph(), glyph, glyph.adjusted(2, 2, -2, -2)},
          Shown{w.window.JvImage1->Picture, logo, QRectF(842, 0, 197, 70).adjusted(2, 2, -2, -2)}}) {
        ASSERT_FALSE(shown.picture.doubled.isNull());
        const QRect place = device(shown.place).toRect();
        const QRect visible = device(shown.visible).toRect();
        const QImage panelShows = w.header().copy(visible);
        const QPixmap& own = scale > 1 ? shown.picture.doubled : shown.picture.normal;
        const QPixmap& other = scale > 1 ? shown.picture.normal : shown.picture.doubled;
        const auto compared = [&](const QPixmap& picture) {
            return meanDifference(panelShows,
                                  onPanel(picture, place.size()).copy(visible.translated(-place.topLeft())));
        };
        EXPECT_LT(compared(own), compared(other)) << shown.place << " at " << scale;
        if (scale == 1 || scale == 2) {
            EXPECT_EQ(compared(own), 0) << "drawn pixel for pixel";
        }
    }
}

// ---- Pointer ----

struct Clicks {
    int count = 0;
    explicit Clicks(TGraphicControl* control)
    {
        control->OnClick = [this] { ++count; };
    }
};

TEST(HeaderPointer, onlyALeftPressAndReleaseOverTheButtonClicks)
{
    Window w;
    Clicks clicks(w.window.BtnHome);
    QTest::mouseClick(w.window.BtnHome, Qt::LeftButton, {}, QPoint(30, 40));
    EXPECT_EQ(clicks.count, 1);

    QTest::mousePress(w.window.BtnHome, Qt::LeftButton, {}, QPoint(30, 40));
    QTest::mouseMove(w.window.BtnHome, QPoint(200, 40));
    EXPECT_FALSE(w.window.BtnHome->PointerInside());
    EXPECT_TRUE(w.window.BtnHome->MouseButtonDown());
    QTest::mouseRelease(w.window.BtnHome, Qt::LeftButton, {}, QPoint(200, 40));
    EXPECT_EQ(clicks.count, 1) << "released off the button";
    EXPECT_FALSE(w.window.BtnHome->MouseButtonDown());

    QTest::mouseClick(w.window.BtnHome, Qt::RightButton, {}, QPoint(30, 40));
    QTest::mouseClick(w.window.BtnHome, Qt::MiddleButton, {}, QPoint(30, 40));
    EXPECT_EQ(clicks.count, 1) << "right and middle never click";

    // What a double click delivers: press, release, double click (in place of the second press),
    // release.
    QTest::mouseClick(w.window.BtnHome, Qt::LeftButton, {}, QPoint(30, 40));
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(30, 40),
                            w.window.BtnHome->mapToGlobal(QPointF(30, 40)), Qt::LeftButton, Qt::LeftButton,
                            Qt::NoModifier);
    QApplication::sendEvent(w.window.BtnHome, &doubleClick);
    QTest::mouseRelease(w.window.BtnHome, Qt::LeftButton, {}, QPoint(30, 40));
    EXPECT_EQ(clicks.count, 3) << "a double click is two clicks";
}

TEST(HeaderPointer, textButtonUnderlineFollowsThePointerWhilePressed)
{
    Window w;
    TJvTransparentButton* portaal = w.window.btnPortaal;
    hover(portaal, true);
    QTest::mousePress(portaal, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(portaal, QPoint(10, 100));
    EXPECT_FALSE(portaal->font().underline()) << "the underline goes as the pointer leaves";
    QTest::mouseMove(portaal, QPoint(10, 10));
    EXPECT_TRUE(portaal->font().underline());
    QTest::mouseMove(portaal, QPoint(10, 100));
    QTest::mouseRelease(portaal, Qt::LeftButton, {}, QPoint(10, 100));
    EXPECT_FALSE(portaal->PointerInside());
    EXPECT_FALSE(portaal->font().underline());
}

TEST(HeaderPointer, programmaticClickRunsTheHandlerWithoutAnyLook)
{
    Window w;
    Clicks clicks(w.window.BtnOstrelWeb);
    const QImage before = w.header();
    w.window.BtnOstrelWeb->Click();
    EXPECT_EQ(clicks.count, 1);
    EXPECT_EQ(w.header(), before);
    EXPECT_FALSE(w.window.BtnOstrelWeb->MouseButtonDown());
}

TEST(HeaderPointer, pressOnTheBackgroundMovesTheWindowButNotOnDividersLabelsOrLogo)
{
    Window w;
    TPanel* panel = w.window.PnlMenu;
    for (QWidget* control : std::vector<QWidget*>{w.window.bvl1, w.window.LblAdres, w.window.JvImage1}) {
        QTest::mousePress(control, Qt::LeftButton, {}, QPoint(1, 20));
        EXPECT_FALSE(panel->MovingWindow()) << control->objectName().toStdString();
        QTest::mouseRelease(control, Qt::LeftButton, {}, QPoint(1, 20));
    }
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        QTest::mousePress(panel, button, {}, QPoint(3, 50));
        EXPECT_TRUE(panel->MovingWindow());
        QTest::mouseRelease(panel, button, {}, QPoint(3, 50));
        EXPECT_FALSE(panel->MovingWindow());
    }
    // Without a window manager the window follows the pointer itself.
    const QPoint start = w.window.pos();
    QTest::mousePress(panel, Qt::LeftButton, {}, QPoint(3, 50));
    QMouseEvent move(QEvent::MouseMove, QPointF(43, 70), panel->mapToGlobal(QPointF(43, 70)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel, &move);
    QTest::mouseRelease(panel, Qt::LeftButton, {}, QPoint(43, 70));
    EXPECT_EQ(w.window.pos(), start + QPoint(40, 20));
}

TEST(HeaderPointer, compactModeFreesThePlacesOfTheHiddenControlsForDragging)
{
    Window w;
    w.window.ApplyCompactLayout();
    QTest::mousePress(w.window.PnlMenu, Qt::LeftButton, {}, QPoint(250, 50));
    EXPECT_TRUE(w.window.PnlMenu->MovingWindow()) << "between Formulieren and Downloads";
    QTest::mouseRelease(w.window.PnlMenu, Qt::LeftButton, {}, QPoint(250, 50));
    EXPECT_EQ(w.window.PnlMenu->childAt(250, 50), nullptr);
    EXPECT_EQ(w.window.PnlMenu->childAt(400, 50), nullptr) << "the gap before the text buttons";
}

TEST(HeaderLinks, labelsAskTheShellToOpenTheirTargetsAndTurnVisitedOnSuccess)
{
    Window w;
    QTest::mouseClick(w.window.LblUrl, Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseClick(w.window.LblMail, Qt::LeftButton, {}, QPoint(3, 3));
    ASSERT_EQ(w.fakes.shell->opened.size(), 2u);
    EXPECT_EQ(w.fakes.shell->opened[0], "http://" + w.window.LblUrl->Caption().toStdString());
    EXPECT_EQ(w.fakes.shell->opened[1].rfind("mailto:", 0), 0u);
    EXPECT_TRUE(w.window.LblUrl->Visited());

    w.fakes.shell->succeed = false;
    w.window.LblMail->URL = QStringLiteral("  ");
    QTest::mouseClick(w.window.LblMail, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(w.fakes.shell->opened.back(), "e-mail") << "an empty URL falls back to the caption";
    QTest::mouseClick(w.window.LblUrl, Qt::RightButton, {}, QPoint(3, 3));
    EXPECT_EQ(w.fakes.shell->opened.size(), 3u) << "only a left click opens";
}

} // namespace
} // namespace ostrel::ui
