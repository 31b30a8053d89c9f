#include "FtpformLayout.h"

#include "Gauge.h"
#include "PackageGridModel.h"
#include "Pictures.h"
#include "ServiceHosts.h"
#include "SpeedButton.h"
#include "StatusPanels.h"
#include "UiText.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace halvio {

namespace {
QString vendor() {
    return QString::fromUtf8(hosts::kVendorShortName);
}

QFont arial(int pixelSize, bool bold = false) {
    return pixelFont(QStringLiteral("Arial"), pixelSize, bold);
}

QLabel* label(QWidget* parent, const char* name, const QString& text, QPoint place,
              const QFont* font = nullptr) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setTextFormat(Qt::PlainText);
    if (font)
        l->setFont(*font);
    l->adjustSize();
    l->move(place);
    return l;
}

QFrame* filled(QWidget* parent, const char* name, const QColor& colour) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, colour);
    frame->setPalette(palette);
    return frame;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& text, QPoint place) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->adjustSize();
    box->setGeometry(place.x(), place.y(), box->width(), 17);
    return box;
}

// Room for a caption the label will be given later: QLabel does not grow outside a layout.
int textWidth(const QLabel& label, const QString& text) {
    return label.fontMetrics().horizontalAdvance(text) + 2 * label.margin() + 4;
}

Gauge* gauge(QWidget* parent, const char* name, QRect place) {
    auto* g = new Gauge(parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setGeometry(place);
    return g;
}

// A disabled widget paints with the Disabled colours; the grid only refuses input, it must not look
// greyed, and its highlighted row must look the same with or without the focus.
void paintLikeEnabled(QWidget& widget) {
    QPalette palette = widget.palette();
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText,
                                     QPalette::Base, QPalette::Highlight, QPalette::HighlightedText}) {
        const QColor colour = palette.color(QPalette::Active, role);
        palette.setColor(QPalette::Disabled, role, colour);
        palette.setColor(QPalette::Inactive, role, colour);
    }
    widget.setPalette(palette);
}
} // namespace

FtpformLayout::FtpformLayout(QWidget& window, PackageTable& tmem) {
    window.setObjectName(QStringLiteral("Ftpform"));
    window.setWindowTitle(vendor() + QStringLiteral(" - Mise à jour par internet"));
    window.setFont(arial(11));
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    window.setPalette(palette);
    window.setAutoFillBackground(true);

    buildHeader(window);
    buildWorkArea(window);
    buildPackageArea(window, tmem);

    s1 = new StatusPanels(3, 200, &window);
    s1->setObjectName(QStringLiteral("s1"));
    s1->setFixedHeight(kStatusBarHeight);
    s1->setPanelText(2, vendor() + QStringLiteral(" 2004"));

    // The package area takes every change of height; the other regions keep theirs.
    auto* rows = new QVBoxLayout(&window);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    rows->addWidget(Panel3);
    rows->addWidget(Panel4);
    rows->addWidget(packageArea, 1);
    rows->addWidget(s1);

    window.resize(kClientSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect outer(QPoint(), kOuterSize);
        outer.moveCenter(screen->availableGeometry().center());
        window.move(outer.topLeft());
    }
}

void FtpformLayout::buildHeader(QWidget& window) {
    Panel3 = filled(&window, "Panel3", Qt::white);
    Panel3->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel3->setLineWidth(1);
    Panel3->setFixedHeight(kHeaderHeight);
    auto* fill = new QGridLayout(Panel3);
    fill->setContentsMargins(1, 1, 1, 1);
    Shape1 = filled(Panel3, "Shape1", Qt::white);
    fill->addWidget(Shape1);

    Image1 = new QLabel(Panel3);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(pictures::programIcon(32));
    Image1->setGeometry(5, 3, 32, 32);

    const QFont title = pixelFont(QStringLiteral("Tahoma"), 16, true);
    Label7 = label(Panel3, "Label7", vendor(), {41, 16}, &title);
    const QFont subtitle = arial(16);
    Label10 = label(Panel3, "Label10", QStringLiteral("Vérification et transfert des mises à jour"), {0, 15},
                    &subtitle);
    Label10->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label10->move(595 - Label10->width(), 15);
    for (QLabel* l : {Label7, Label10}) {
        QPalette black = l->palette();
        black.setColor(QPalette::WindowText, Qt::black);
        l->setPalette(black);
        l->raise();
    }
    Image1->raise();
}

void FtpformLayout::buildWorkArea(QWidget& window) {
    Panel4 = new QFrame(&window);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setFixedHeight(kWorkAreaHeight);

    Memo2 = new QPlainTextEdit(Panel4);
    Memo2->setObjectName(QStringLiteral("Memo2"));
    Memo2->setGeometry(0, 0, 357, kWorkAreaHeight);
    Memo2->setFont(arial(11));
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette moneyGreen = Memo2->palette();
    moneyGreen.setColor(QPalette::Base, QColor(192, 220, 192));
    Memo2->setPalette(moneyGreen);

    Button1 = new SpeedButton(QStringLiteral("Démarrer"), Panel4);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(369, 6, 139, 31);
    Button1->setEnabled(false);
    Button1->setTag(kStartCountdown);
    SpeedButton1 = new SpeedButton(QStringLiteral("Abandonner"), Panel4);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(508, 6, 113, 31);

    Label1 = label(Panel4, "Label1", QStringLiteral("Fichier en cours"), {368, 41});
    p1 = gauge(Panel4, "p1", {368, 56, 176, 19});
    Label2 = label(Panel4, "Label2", QStringLiteral("Tous les fichiers"), {416, 78});
    p2 = gauge(Panel4, "p2", {369, 92, 176, 19});
    // Empty until the clinic database is open (the users must not read an internal name there).
    // Later captions are dates: room for one.
    clientmaj = label(Panel4, "clientmaj", QStringLiteral("0000.00.00"), {570, 70});
    clientmaj->resize(textWidth(*clientmaj, clientmaj->text()), clientmaj->height());
    clientmaj->clear();

    CheckBox3 = checkBox(Panel4, "CheckBox3", QStringLiteral("Ne pas utiliser le proxy"), {370, 120});
    CheckBox1 = checkBox(Panel4, "CheckBox1",
                         QStringLiteral("Transferer la structure de votre base de données"), {370, 138});
    CheckBox2 = checkBox(
        Panel4, "CheckBox2",
        QStringLiteral("Connection directe à ") + vendor() + QStringLiteral(" (version Beta)!"), {369, 154});
    CheckBox2->setChecked(true);
    CheckBox2->setToolTip(
        QStringLiteral("Attention, cette méthode peut vous procurer une version Beta du logiciel"));

    buildNotice();
}

void FtpformLayout::buildNotice() {
    Panel5 = new QFrame(Panel4);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    Panel5->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel5->setAutoFillBackground(true);
    Panel5->setGeometry(24, 16, 283, 133);

    Shape2 = filled(Panel5, "Shape2", QColor(255, 255, 0));
    Shape2->setFrameStyle(QFrame::Box | QFrame::Plain);
    Shape2->setLineWidth(1);
    Shape2->setGeometry(4, 6, 275, 23);

    const QFont large = arial(16);
    Label8 = label(Panel5, "Label8", QStringLiteral("Ne pas arrêter cette mise à jour "), {27, 9}, &large);
    Label9 = label(Panel5, "Label9",
                   QStringLiteral("Cette mise à jour est longue et \nne doit pas être interrrompue!\n\n"
                                  "Veuillez patienter SVP."),
                   {12, 36}, &large);
    Label11 = label(Panel5, "Label11", QStringLiteral("0%"), {228, 109}, &large);
    Label11->resize(textWidth(*Label11, QStringLiteral("100%")), Label11->height());
    Panel5->hide();
}

void FtpformLayout::buildPackageArea(QWidget& window, PackageTable& tmem) {
    packageArea = new QWidget(&window);
    packageArea->setObjectName(QStringLiteral("packageArea"));
    auto* stack = new QGridLayout(packageArea);
    stack->setContentsMargins(0, 0, 0, 0);
    buildPackageGrid(tmem);
    buildEndPanel();

    // Both fill the same cell: the end panel, when shown, covers exactly the grid.
    stack->addWidget(DBGrid2, 0, 0);
    stack->addWidget(Panel1, 0, 0);
    Panel1->raise();
    Panel1->hide();
}

void FtpformLayout::buildPackageGrid(PackageTable& tmem) {
    gridModel = new PackageGridModel(tmem, packageArea);
    DBGrid2 = new QTableView(packageArea);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setFont(arial(11));
    DBGrid2->setModel(gridModel);
    DBGrid2->setEnabled(false);
    DBGrid2->setFocusPolicy(Qt::NoFocus);
    DBGrid2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid2->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid2->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid2->setShowGrid(true);
    DBGrid2->setWordWrap(false);
    DBGrid2->setTextElideMode(Qt::ElideNone); // a long text is cut at the cell's edge
    DBGrid2->horizontalHeader()->setHighlightSections(false);
    DBGrid2->horizontalHeader()->setStretchLastSection(false);
    DBGrid2->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid2->verticalHeader()->setDefaultSectionSize(18);
    DBGrid2->verticalHeader()->setFixedWidth(18);
    DBGrid2->verticalHeader()->setHighlightSections(false);
    int widths[PackageGridModel::ColumnCount] = {258, 106, 64, 102, 44};
    // The designed widths leave no room for the cells' text margins around a whole date and time
    // (its seconds were cut) or the largest size: room for them, whatever the font.
    const int textMargin = DBGrid2->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, DBGrid2) + 1;
    const auto roomFor = [&](const QString& widest) {
        return DBGrid2->fontMetrics().horizontalAdvance(widest) + 2 * textMargin;
    };
    widths[PackageGridModel::Dates] =
        std::max(widths[PackageGridModel::Dates], roomFor("0000.00.00 00:00:00"));
    widths[PackageGridModel::Taille] = std::max(widths[PackageGridModel::Taille], roomFor("2147483647"));
    for (int column = 0; column < PackageGridModel::ColumnCount; ++column)
        DBGrid2->setColumnWidth(column, widths[column]);
    paintLikeEnabled(*DBGrid2);
    QObject::connect(gridModel, &PackageGridModel::currentRowChanged, DBGrid2,
                     [this] { highlightCurrentRow(); });
    QObject::connect(gridModel, &QAbstractItemModel::modelReset, DBGrid2, [this] { highlightCurrentRow(); });
    highlightCurrentRow();
}

void FtpformLayout::buildEndPanel() {
    Panel1 = new QFrame(packageArea);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAutoFillBackground(true);
    auto* centre = new QGridLayout(Panel1);
    const QFont endFont = arial(16, true);
    Label3 = label(Panel1, "Label3",
                   QStringLiteral("Vous pouvez visonner la liste des modifications qui ont été effectuées\n"
                                  "dans le menu principal / Internet / Détails des mises à jour effectuées.\n"
                                  "Merci de faire confiance à ") +
                       vendor() + QStringLiteral(" et bonne fin de journée!"),
                   {0, 0}, &endFont);
    Label3->setAlignment(Qt::AlignCenter);
    // The panel covers the grid, whatever the text asks: a wider text must not grow the window.
    Label3->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    QPalette green = Label3->palette();
    green.setColor(QPalette::WindowText, QColor(0, 128, 0));
    Label3->setPalette(green);
    centre->addWidget(Label3);
}

void FtpformLayout::highlightCurrentRow() {
    const int row = gridModel->currentRow();
    if (row < 0) {
        DBGrid2->clearSelection();
        return;
    }
    const QItemSelection whole(gridModel->index(row, 0),
                               gridModel->index(row, PackageGridModel::ColumnCount - 1));
    DBGrid2->selectionModel()->select(whole, QItemSelectionModel::ClearAndSelect);
    DBGrid2->scrollTo(gridModel->index(row, 0));
}

} // namespace halvio
