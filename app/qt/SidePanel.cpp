#include "app/qt/SidePanel.h"

#include "common/Numeric.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QToolTip>

namespace tarvex::qt {

namespace {

constexpr int BarHeight = 9;
constexpr int BarGap = 3;

QColor PartColour(TFillPart part) {
    static const QColor colours[] = {QColor(0x80, 0x80, 0x80), QColor(0xa0, 0xa0, 0xa0),
                                     QColor(0xc8, 0x96, 0x64), QColor(0xd0, 0xd0, 0x40),
                                     QColor(0x40, 0xa0, 0x40), QColor(0x70, 0xc0, 0x70),
                                     QColor(0x40, 0x70, 0xc0), QColor(0x90, 0x60, 0xb0),
                                     QColor(0xe0, 0xe0, 0xe0), Qt::white};
    return colours[static_cast<std::size_t>(part)];
}

} // namespace

/// One bar per disc image, each part as wide as its blocks; an overrun in red.
class TDiscFillBars : public QWidget {
  public:
    explicit TDiscFillBars(QWidget* parent) : QWidget(parent) { setMouseTracking(true); }
    void Show(TDiscFill fill, int discs) {
        FFill = std::move(fill);
        FDiscs = std::max(1, discs);
        setFixedHeight(FDiscs * (BarHeight + BarGap));
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const qreal scale = width() / static_cast<qreal>(std::max<std::int64_t>(
                                          1, std::max(FFill.BlocksUsable, FFill.ImageBlocks)));
        for (int disc = 0; disc < FDiscs; ++disc) {
            const int top = disc * (BarHeight + BarGap);
            qreal x = 0;
            for (const TFillShare& share : FFill.Parts) {
                const qreal w = share.Blocks * scale;
                p.fillRect(QRectF(x, top, w, BarHeight), PartColour(share.Part));
                x += w;
            }
            if (FFill.OverrunBlocks > 0) {
                const qreal w = FFill.OverrunBlocks * scale;
                p.fillRect(QRectF(FFill.BlocksUsable * scale - w, top, w, BarHeight), Qt::red);
            }
            p.setPen(Qt::darkGray);
            p.drawRect(QRectF(0, top, width() - 1, BarHeight));
        }
    }
    bool event(QEvent* event) override {
        if (event->type() != QEvent::ToolTip) return QWidget::event(event);
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString text = PartAt(help->pos().x());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }

  private:
    QString PartAt(int x) const {
        const qreal scale = width() / static_cast<qreal>(std::max<std::int64_t>(
                                          1, std::max(FFill.BlocksUsable, FFill.ImageBlocks)));
        if (FFill.OverrunBlocks > 0 && x >= (FFill.BlocksUsable - FFill.OverrunBlocks) * scale)
            return QStringLiteral("Overrun: %1 blocks beyond the disc").arg(FFill.OverrunBlocks);
        qreal end = 0;
        for (const TFillShare& share : FFill.Parts) {
            end += share.Blocks * scale;
            if (x < end)
                return QStringLiteral("%1: %2 blocks = %3 KB")
                    .arg(QString::fromUtf8(FillPartName(share.Part)))
                    .arg(share.Blocks)
                    .arg(Round(static_cast<Real>(share.Bytes) / 1024));
        }
        return {};
    }

    TDiscFill FFill;
    int FDiscs = 1;
};

TSidePanel::TSidePanel(TMainForm& form, std::function<void(std::function<void()>)> act,
                       QWidget* parent)
    : QWidget(parent), FForm(form), FAct(std::move(act)), FBars(new TDiscFillBars(this)),
      FMake(new QPushButton(this)), FMakeProgress(new QProgressBar(this)),
      FMakeStatus(new QLabel(this)), FWarnings(new QLabel), FWarningsFrame(new QScrollArea(this)),
      FCandidates(new QTableWidget(this)) {
    auto* fillTitle = new QLabel(QStringLiteral("Disc fill (hover for blocks and KB):"), this);
    fillTitle->move(4, 4);
    FMake->setObjectName(QStringLiteral("MakeDiscBtn"));
    FMake->setAutoDefault(true); // Enter presses it, as Space does
    FMake->setToolTip(
        QStringLiteral("Encodes the film with ffmpeg as planned, multiplexes and "
                       "authors each disc into a folder you choose,\nthen reports "
                       "the real sizes against the budget's. Click again to cancel."));
    QObject::connect(FMake, &QPushButton::clicked, this,
                     [this] { FAct([this] { FForm.MakeDiscBtnClick(); }); });
    FMakeProgress->setRange(0, 1000);
    FMakeProgress->setTextVisible(false);
    FMakeStatus->setTextFormat(Qt::PlainText);
    FMakeStatus->setWordWrap(true);
    FMakeStatus->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    FWarnings->setWordWrap(true);
    FWarnings->setTextFormat(Qt::PlainText);
    FWarnings->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    QPalette red = FWarnings->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    FWarnings->setPalette(red);
    // However many warnings there are, each can be read: the lines wrap at the
    // column's width and scroll within the warnings' place.
    FWarningsFrame->setObjectName(QStringLiteral("WarningsFrame"));
    FWarningsFrame->setFrameShape(QFrame::NoFrame);
    FWarningsFrame->setFocusPolicy(Qt::NoFocus); // the mouse wheel scrolls it; Tab passes by
    FWarningsFrame->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FWarningsFrame->setWidgetResizable(true);
    FWarningsFrame->setWidget(FWarnings);
    // See-through, as the column's other texts are, over the panels' frame lines.
    FWarnings->setAutoFillBackground(false);
    FWarningsFrame->viewport()->setAutoFillBackground(false);

    auto* tableTitle = new QLabel(QStringLiteral("Resize heights (click to take one):"), this);
    tableTitle->move(4, 232);
    FCandidates->setColumnCount(7);
    FCandidates->setHorizontalHeaderLabels(
        {"H", "W", "Error %", "Film %", "Blocks", "bps/bl.", "Borders"});
    FCandidates->verticalHeader()->hide();
    FCandidates->verticalHeader()->setDefaultSectionSize(15);
    FCandidates->horizontalHeader()->setMinimumSectionSize(20);
    FCandidates->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FCandidates->setSelectionBehavior(QAbstractItemView::SelectRows);
    FCandidates->setSelectionMode(QAbstractItemView::SingleSelection);
    // In the Tab chain as one stop: the arrows move between rows, Enter takes one.
    FCandidates->setObjectName(QStringLiteral("CandidateTable"));
    FCandidates->setTabKeyNavigation(false);
    const auto choose = [this](int row) {
        const QTableWidgetItem* item = FCandidates->item(row, 0);
        if (item == nullptr) return;
        const std::int32_t height = item->text().toInt();
        FAct([this, height] { FForm.ChooseResizeHeight(height); });
    };
    QObject::connect(FCandidates, &QTableWidget::cellClicked, this,
                     [choose](int row, int) { choose(row); });
    QObject::connect(FCandidates, &QAbstractItemView::activated, this,
                     [choose](const QModelIndex& index) { choose(index.row()); });
}

void TSidePanel::resizeEvent(QResizeEvent*) {
    Place();
}

void TSidePanel::Place() {
    // The table takes what the column grows by; the rest keeps its place.
    const int inner = width() - 12;
    FBars->setGeometry(4, 22, inner, FBars->height());
    const int makeTop = FBars->geometry().bottom() + 6;
    FMake->setGeometry(4, makeTop, 84, 21);
    FMakeProgress->setGeometry(94, makeTop + 5, width() - 102, 11);
    FMakeStatus->setGeometry(4, makeTop + 24, inner, 28);
    const int warningsTop = makeTop + 54;
    // Above the line that closes the first panel (at 210), so that no text crosses it.
    FWarningsFrame->setGeometry(4, warningsTop, inner, 206 - warningsTop);
    FCandidates->setGeometry(4, 250, inner, height() - 256);
}

void TSidePanel::Refresh() {
    FBars->Show(FForm.DiscFill(), FForm.DiscCount);
    Place();
    FMake->setText(FForm.Making() ? QStringLiteral("Cancel") : QStringLiteral("Make disc..."));
    // Full only while the discs are being made: afterwards the outcome says it all.
    FMakeProgress->setValue(
        FForm.Making() ? static_cast<int>(std::lround(FForm.Make.Fraction * 1000)) : 0);
    FMakeStatus->setText(QString::fromStdString(FForm.Make.Status));
    FMakeStatus->setToolTip(FMakeStatus->text());

    QString warnings;
    for (const TWarning& w : FForm.Warnings())
        warnings += QStringLiteral("\u2022 ") + QString::fromStdString(w.Text) + '\n';
    // A value cut to its field leads, so that the user sees why it changed.
    if (!FForm.Notice.empty())
        warnings =
            QStringLiteral("\u2022 ") + QString::fromStdString(FForm.Notice) + '\n' + warnings;
    FWarnings->setText(warnings.trimmed());

    const std::vector<TResizeCandidate> rows = FForm.ResizeCandidates();
    const QSignalBlocker blocker(FCandidates);
    FCandidates->setRowCount(static_cast<int>(rows.size()));
    const char sep = FForm.DecimalSeparator;
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const TResizeCandidate& c = rows[static_cast<std::size_t>(r)];
        const QString cells[] = {QString::number(c.Height),
                                 QString::number(c.Width),
                                 c.Error ? QString::fromStdString(FloatToStr(*c.Error, sep))
                                         : QStringLiteral("?"),
                                 QString::fromStdString(RoundedToStr(c.FilmKept * 100, 10, sep)),
                                 QString::number(c.Blocks),
                                 QString::number(c.BitsPerBlock),
                                 QStringLiteral("%1,%2,%3,%4")
                                     .arg(c.Borders.Left)
                                     .arg(c.Borders.Top)
                                     .arg(c.Borders.Right)
                                     .arg(c.Borders.Bottom)};
        for (int col = 0; col < 7; ++col) {
            auto* item = new QTableWidgetItem(cells[col]);
            QFont font = item->font();
            font.setBold(c.Suggested);
            item->setFont(font);
            if (c.Suggested) item->setToolTip(QStringLiteral("The suggestion's height"));
            FCandidates->setItem(r, col, item);
        }
        if (c.Current) FCandidates->selectRow(r);
    }
    FCandidates->resizeColumnsToContents();
}

} // namespace tarvex::qt
