#include "settings/ui/tip_of_the_day.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <chrono>

#include "settings/tips.h"
#include "settings/ui/pictures.h"
#include "settings/ui/small_windows.h"

namespace lumora {

namespace {

// The tip shown this time: a fresh random choice among all lines, the fixed
// notice when there are none.
QString ChooseTip(const std::string& programDir) {
    std::mt19937 random(
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const std::optional<std::string> tip = PickTip(LoadTips(programDir), random);
    return QString::fromUtf8(tip ? *tip : std::string(kNoTipsText));
}

QLabel* BoldLabel(const QString& text, int pixelSize = 0) {
    auto* label = new QLabel(text);
    QFont font = label->font();
    font.setBold(true);
    if (pixelSize > 0) font.setPixelSize(pixelSize);
    label->setFont(font);
    return label;
}

}  // namespace

TfrmTipOfTheDay::TfrmTipOfTheDay(QWidget* parent, Configuration& config,
                                 const SettingsLocation& where)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      config_(config),
      where_(where) {
    setWindowTitle(QStringLiteral("Tip des Tages"));

    auto* welcome = new QHBoxLayout;
    welcome->addWidget(new QLabel(QStringLiteral("Herzlich willkommen zu")), 0, Qt::AlignBottom);
    welcome->addWidget(BoldLabel(QString::fromLatin1(kProductName), 26), 0, Qt::AlignBottom);
    welcome->addStretch();

    auto* picture = new QLabel;
    picture->setPixmap(LoadSmallPicture(SmallPicture::Tip, 64));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    lblTip_ = new QLabel(ChooseTip(where_.programDir));
    lblTip_->setWordWrap(true);
    lblTip_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    lblTip_->setMargin(8);
    lblTip_->setFrameShape(QFrame::StyledPanel);
    lblTip_->setMinimumSize(300, 110);
    lblTip_->setAutoFillBackground(true);
    QPalette tipColours = lblTip_->palette();
    tipColours.setColor(QPalette::Window, tipColours.color(QPalette::ToolTipBase));
    tipColours.setColor(QPalette::WindowText, tipColours.color(QPalette::ToolTipText));
    lblTip_->setPalette(tipColours);

    auto* tipColumn = new QVBoxLayout;
    tipColumn->addWidget(BoldLabel(QString::fromUtf8("Wußten Sie schon...?")));
    tipColumn->addWidget(lblTip_, 1);

    auto* middle = new QHBoxLayout;
    middle->addWidget(picture);
    middle->addLayout(tipColumn, 1);

    chkDontShow_ = new QCheckBox(QStringLiteral("Dieses Fenster nicht mehr zeigen"));
    QFont bold = chkDontShow_->font();
    bold.setBold(true);
    chkDontShow_->setFont(bold);
    chkDontShow_->setChecked(!config_.settings.Tip);
    QObject::connect(chkDontShow_, &QCheckBox::clicked, this,
                     [this](bool checked) { DontShowClicked(checked); });

    btnNext_ = new QPushButton(QStringLiteral("&Weiter"));
    btnNext_->setDefault(true);
    QObject::connect(btnNext_, &QPushButton::clicked, this, &QDialog::accept);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(chkDontShow_);
    bottom->addStretch();
    bottom->addWidget(btnNext_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(welcome);
    layout->addLayout(middle, 1);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString TfrmTipOfTheDay::TipText() const {
    return lblTip_->text();
}

void TfrmTipOfTheDay::DontShowClicked(bool checked) {
    config_.settings.Tip = !checked;
    std::string error;
    if (!SaveSettings(config_, where_, nullptr, &error)) {
        QMessageBox::critical(this, QStringLiteral("Fehler"), QString::fromUtf8(kSaveErrorText));
    }
}

void ShowTipOfTheDay(QWidget* parent, Configuration& config, const SettingsLocation& where) {
    TfrmTipOfTheDay tip(parent, config, where);
    tip.exec();
}

bool ShowTipAtStart(QWidget* parent, Configuration& config, const SettingsLocation& where) {
    if (!config.settings.Tip) return false;
    ShowTipOfTheDay(parent, config, where);
    return true;
}

}  // namespace lumora
