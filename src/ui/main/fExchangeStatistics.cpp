#include "fExchangeStatistics.h"

#include "fMain.h"
#include "uEscapeKey.h"
#include "uFormat.h"
#include "uRequestDevices.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <qcustomplot.h>

namespace {

QPointer<TFormExchangeStatistics> Open;

QString Number(double Value, int Digits) {
    return FormatNumber(Value, 15, Digits, DefaultFormatSettings());
}

} // namespace

// ---- the status-bar panel

QString QualityPanelText(const TExchangeCounts &Counts) {
    if (!Counts.HasQuality())
        return QStringLiteral("—");
    QString Text = Number(Counts.QualityPercent(), 1) + QStringLiteral(" %");
    if (Counts.Answered)
        Text += QStringLiteral(" · ") + Number(Counts.ResponseMsAverage(), 0) + QStringLiteral(" мс");
    return Text;
}

bool QualityWarning(const TExchangeCounts &Counts) {
    return Counts.HasQuality() && Counts.QualityPercent() < QualityWarningPercent;
}

void ShowQualityPanel(QLabel *Panel, const TExchangeCounts &Counts) {
    if (!Panel)
        return;
    Panel->setText(QualityPanelText(Counts));
    Panel->setToolTip(QStringLiteral("Ответов из последних %1 обменов и среднее время ответа")
                          .arg(TExchangeCounts::QualityWindow));
    const bool Warning = QualityWarning(Counts);
    if (Panel->property("warning").toBool() == Warning && Panel->property("warning").isValid())
        return;
    Panel->setProperty("warning", Warning);
    QPalette P = Panel->parentWidget() ? Panel->parentWidget()->palette() : QPalette();
    if (Warning)
        P.setColor(QPalette::WindowText, Qt::red);
    Panel->setPalette(P);
}

// ---- the window

TFormExchangeStatistics *TFormExchangeStatistics::ShowWindow(QWidget *Parent) {
    if (!Open)
        Open = new TFormExchangeStatistics(Parent);
    Open->show();
    Open->raise();
    Open->activateWindow();
    return Open;
}

TFormExchangeStatistics *TFormExchangeStatistics::Instance() {
    return Open;
}

TFormExchangeStatistics::TFormExchangeStatistics(QWidget *Parent) : QWidget(Parent, Qt::Window) {
    setObjectName(QStringLiteral("FormExchangeStatistics"));
    setWindowTitle(QStringLiteral("Статистика обмена"));
    setAttribute(Qt::WA_DeleteOnClose);

    FCounts = new QTableWidget(0, 3, this);
    FCounts->setObjectName(QStringLiteral("Counts"));
    FCounts->setHorizontalHeaderLabels({QStringLiteral("Обмены"), QStringLiteral("Количество"), QStringLiteral("%")});
    FCounts->verticalHeader()->hide();
    FCounts->verticalHeader()->setDefaultSectionSize(FCounts->fontMetrics().height() + 6);
    FCounts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FCounts->setSelectionMode(QAbstractItemView::NoSelection);
    FCounts->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    FCounts->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    FCounts->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);

    FQuality = new QLabel(this);
    FQuality->setObjectName(QStringLiteral("Quality"));
    FResponse = new QLabel(this);
    FResponse->setObjectName(QStringLiteral("Response"));

    FChart = new QCustomPlot(this);
    FChart->setObjectName(QStringLiteral("Histogram"));
    FChart->setMinimumHeight(180);
    FChart->xAxis->setLabel(QStringLiteral("Время ответа, мс"));
    FChart->yAxis->setLabel(QStringLiteral("Ответов"));
    // Replies are counted: whole numbers only on the count axis.
    QSharedPointer<QCPAxisTickerFixed> Whole(new QCPAxisTickerFixed);
    Whole->setTickStep(1);
    Whole->setScaleStrategy(QCPAxisTickerFixed::ssMultiples);
    FChart->yAxis->setTicker(Whole);
    FBars = new QCPBars(FChart->xAxis, FChart->yAxis);
    FBars->setWidth(TExchangeCounts::BucketMs);
    FBars->setPen(QPen(QColor(0, 80, 160)));
    FBars->setBrush(QColor(70, 130, 200));

    FReset = new QPushButton(QStringLiteral("Сбросить"), this);
    FReset->setObjectName(QStringLiteral("Reset"));
    connect(FReset, &QPushButton::clicked, this, &TFormExchangeStatistics::ResetStatistics);
    auto *Close = new QPushButton(QStringLiteral("Закрыть"), this);
    Close->setObjectName(QStringLiteral("Close"));
    connect(Close, &QPushButton::clicked, this, &QWidget::close);

    auto *Buttons = new QHBoxLayout;
    Buttons->addWidget(FReset);
    Buttons->addStretch(1);
    Buttons->addWidget(Close);
    auto *Layout = new QVBoxLayout(this);
    Layout->addWidget(FCounts, 3);
    Layout->addWidget(FQuality);
    Layout->addWidget(FResponse);
    Layout->addWidget(FChart, 2);
    Layout->addLayout(Buttons);
    resize(480, 640);

    FTimer = new QTimer(this);
    FTimer->setInterval(RefreshMs);
    connect(FTimer, &QTimer::timeout, this, &TFormExchangeStatistics::RefreshStatistics);
    RefreshStatistics();
}

TFormExchangeStatistics::~TFormExchangeStatistics() = default;

void TFormExchangeStatistics::keyPressEvent(QKeyEvent *Event) {
    if (!CloseOnEscape(this, Event))
        QWidget::keyPressEvent(Event);
}

void TFormExchangeStatistics::showEvent(QShowEvent *Event) {
    QWidget::showEvent(Event);
    RefreshStatistics();
    FTimer->start();
}

void TFormExchangeStatistics::hideEvent(QHideEvent *Event) {
    FTimer->stop();
    QWidget::hideEvent(Event);
}

void TFormExchangeStatistics::RefreshStatistics() {
    Show(RequestDevices ? RequestDevices->Statistics() : TExchangeCounts());
}

void TFormExchangeStatistics::ResetStatistics() {
    if (RequestDevices)
        RequestDevices->ResetStatistics();
    RefreshStatistics();
    if (FormMain)
        FormMain->StatisticsRefresh();
}

void TFormExchangeStatistics::Show(const TExchangeCounts &C) {
    struct TRow {
        QString Name;
        std::uint64_t Count;
        bool Share;
    };
    QList<TRow> Rows{{QStringLiteral("Всего обменов"), C.Exchanges, false},
                     {QStringLiteral("Ответ получен"), C.Answered, true},
                     {QStringLiteral("Нет ответа"), C.NoAnswer, true},
                     {QStringLiteral("Ошибка контрольной суммы"), C.Corrupt, true},
                     {QStringLiteral("Ответ не на запрос"), C.Mismatch, true}};
    for (const auto &[Code, Count] : C.ExceptionCodes)
        Rows << TRow{QStringLiteral("Исключение, код %1").arg(Code), Count, true};
    if (C.ExceptionCodes.empty())
        Rows << TRow{QStringLiteral("Исключение"), C.Exception, true};
    for (const auto &[Code, Count] : C.StatusCodes)
        Rows << TRow{QStringLiteral("Статус, код %1").arg(Code), Count, true};
    if (C.StatusCodes.empty())
        Rows << TRow{QStringLiteral("Статус"), C.Status, true};
    Rows << TRow{QStringLiteral("Порт потерян"), C.PortLost, true}
         << TRow{QStringLiteral("Байт шума"), C.Noise, false}; // bytes, not exchanges

    FCounts->setRowCount(int(Rows.size()));
    for (int i = 0; i < Rows.size(); ++i) {
        const QString Texts[3] = {Rows[i].Name, QString::number(Rows[i].Count),
                                  Rows[i].Share ? Number(C.Percent(Rows[i].Count), 1) : QString()};
        for (int Col = 0; Col < 3; ++Col) {
            QTableWidgetItem *Item = FCounts->item(i, Col);
            if (!Item) {
                Item = new QTableWidgetItem;
                Item->setTextAlignment(Col == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
                FCounts->setItem(i, Col, Item);
            }
            Item->setText(Texts[Col]);
        }
    }

    FQuality->setText(QStringLiteral("Качество связи (ответы из последних %1 обменов): ")
                          .arg(TExchangeCounts::QualityWindow) +
                      (C.HasQuality() ? Number(C.QualityPercent(), 1) + QStringLiteral(" %") : QStringLiteral("—")));
    FResponse->setText(C.Answered ? QStringLiteral("Время ответа, мс: мин. %1 · сред. %2 · макс. %3")
                                        .arg(Number(C.ResponseMsMin, 1), Number(C.ResponseMsAverage(), 1),
                                             Number(C.ResponseMsMax, 1))
                                  : QStringLiteral("Время ответа, мс: —"));

    QVector<double> Keys, Values;
    double Top = 0;
    for (int i = 0; i < int(C.Histogram.size()); ++i) {
        Keys << TExchangeCounts::BucketStartMs(i) + TExchangeCounts::BucketMs / 2;
        Values << double(C.Histogram[size_t(i)]);
        Top = std::max(Top, Values.back());
    }
    FBars->setData(Keys, Values, true);
    // The time axis up to the slowest reply seen, and a step beyond: replies
    // of a few milliseconds fill the chart instead of a sliver at its edge.
    int Last = -1;
    for (int i = 0; i < Values.size(); ++i)
        if (Values[i] > 0)
            Last = i;
    const int Buckets = std::clamp(Last + 2, 2, std::max(2, int(Keys.size())));
    FChart->xAxis->setRange(0, double(Buckets) * TExchangeCounts::BucketMs);
    FChart->yAxis->setRange(0, std::max(1.0, Top * 1.1));
    FChart->replot();
}
