// The pad grids: favourites, local (with the "+" pad), downloaded and the cloud categories.
#include <QAbstractButton>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

#include "Controls.h"
#include "DisplayNames.h"
#include "EventHandlerSound.h"
#include "HotkeyConfig.h"
#include "SoundPads.h"
#include "TextUtil.h"

namespace {

constexpr int kPadWidth = 83;
constexpr int kPadHeight = 36;

QString FromU16(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

// The widget the pads are laid out in: a scroll view's contents, or the grid itself.
QWidget* PadHolder(QWidget* grid) {
    if (auto* scroll = qobject_cast<QScrollArea*>(grid)) {
        if (!scroll->widget()) scroll->setWidget(new QWidget(scroll));
        return scroll->widget();
    }
    return grid;
}

// Old pads may be the sender of the click that rebuilds their grid: they are hidden, lose
// their ids (so lookups find the new pads) and go once the event has been handled.
void Retire(QWidget* widget) {
    widget->hide();
    widget->setProperty(kControlIdProperty, QVariant());
    for (QWidget* child : widget->findChildren<QWidget*>())
        child->setProperty(kControlIdProperty, QVariant());
    widget->deleteLater();
}

QGridLayout* ResetLayout(QWidget* holder) {
    for (QWidget* child : holder->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) Retire(child);
    if (auto* old = qobject_cast<QGridLayout*>(holder->layout())) {
        while (QLayoutItem* item = old->takeAt(0)) delete item;
        return old;
    }
    delete holder->layout();
    auto* layout = new QGridLayout(holder);
    layout->setContentsMargins(8, 2, 0, 0);
    layout->setHorizontalSpacing(8);
    layout->setVerticalSpacing(1);
    layout->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    return layout;
}

QPushButton* NewPad(QWidget* parent, int id, const QString& text, const QString& tip,
                    const char* role) {
    auto* pad = new QPushButton(text, parent);
    pad->setProperty(kControlIdProperty, id);
    pad->setProperty("role", role);
    pad->setFixedSize(kPadWidth, kPadHeight);
    pad->setFocusPolicy(Qt::NoFocus);
    if (!tip.isEmpty()) pad->setToolTip(tip);
    return pad;
}

}  // namespace

QWidget* CEventHandlerSound::MakePad(QWidget* parent, int id, const SoundEntry& entry,
                                     bool favourite) {
    const QString name = DisplayName(FromU16(entry.Name()));
    const QString tip = FromU16(pads::PadTooltip(name.toStdU16String()));
    QPushButton* pad = NewPad(nullptr, id, name, tip, favourite ? "pad-hotkey" : "pad");
    QObject::connect(pad, &QAbstractButton::clicked, pad, [this, pad, id] {
        ControlEvent event;
        event.control = pad;
        event.id = id;
        event.code = kEventCommand;
        OnControlEvent(event);
    });
    pad->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(
        pad, &QWidget::customContextMenuRequested, pad,
        [this, pad, id](const QPoint& pos) { OpenPadMenu(id, pad->mapToGlobal(pos)); });
    if (!favourite) {
        pad->setParent(parent);
        return pad;
    }
    // A favourite shows its hotkey under the pad.
    auto* cell = new QWidget(parent);
    auto* column = new QVBoxLayout(cell);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->setAlignment(Qt::AlignHCenter);
    pad->setParent(cell);
    column->addWidget(pad);
    auto* key = new QLabel(FromU16(pads::FavouriteKeyText(entry.hotkey)), cell);
    key->setProperty("role", "pad-key");
    key->setAlignment(Qt::AlignCenter);
    column->addWidget(key);
    return cell;
}

void CEventHandlerSound::BuildGrid(QWidget* grid, const std::vector<SoundEntry>& entries,
                                   int baseId, bool favourites, bool addPad) {
    if (!grid) return;
    QWidget* holder = PadHolder(grid);
    QGridLayout* layout = ResetLayout(holder);
    int cell = 0;
    for (size_t i = 0; i < entries.size(); ++i, ++cell) {
        QWidget* pad = MakePad(holder, baseId + static_cast<int>(i), entries[i], favourites);
        layout->addWidget(pad, cell / pads::kColumns, cell % pads::kColumns);
        pad->show();
    }
    if (addPad && pads::HasAddPad(entries.size())) {
        QPushButton* plus = NewPad(holder, pads::kAddPad, QStringLiteral("+"),
                                   QObject::tr("添加本地mp3文件"), "pad-add");
        QObject::connect(plus, &QAbstractButton::clicked, plus, [this, plus] {
            ControlEvent event;
            event.control = plus;
            event.id = pads::kAddPad;
            event.code = kEventCommand;
            OnControlEvent(event);
        });
        layout->addWidget(plus, cell / pads::kColumns, cell % pads::kColumns);
        plus->show();
    }
    const int rows = pads::GridRows(entries.size(), addPad && pads::HasAddPad(entries.size()));
    holder->setProperty("rowCount", rows);
    if (rows > 0) layout->activate();
}

void CEventHandlerSound::RebuildLocal() {
    if (DeferGrid(kGridLocal)) return;
    HotkeyConfig& config = m_host->Hotkeys();
    // A first start: the built-in clips become the favourites, Num 1 .. Num 8 on the first.
    if (config.Favourites().empty()) config.SeedDefaultFavourites();
    BuildGrid(Grid("scrollview_sound_local"), pads::LocalTabEntries(config), pads::kBuiltInBase,
              false, true);
}

void CEventHandlerSound::RebuildDownloaded() {
    if (DeferGrid(kGridDownloaded)) return;
    BuildGrid(Grid("scrollview_sound_download"), m_host->Hotkeys().Downloaded(),
              pads::kDownloadedBase, false, false);
}

void CEventHandlerSound::RebuildFavourites() {
    if (DeferGrid(kGridFavourites)) return;
    BuildGrid(Grid("scrollview_sound_common"), m_host->Hotkeys().Favourites(), pads::kFavouriteBase,
              true, false);
}

void CEventHandlerSound::BuildCloudTabs() {
    if (!m_tabs) return;
    m_buildingTabs = true;
    while (m_tabs->count() > 3) {
        QWidget* page = m_tabs->widget(3);
        m_tabs->removeTab(3);
        page->deleteLater();
    }
    HotkeyConfig& config = m_host->Hotkeys();
    const size_t count =
        std::min(config.CloudCategoryCount(), static_cast<size_t>(pads::kMaxCloudTabs));
    for (size_t i = 0; i < count; ++i) {
        auto* page = new QWidget;
        auto* pageLayout = new QVBoxLayout(page);
        pageLayout->setContentsMargins(0, 0, 0, 0);
        auto* scroll = new QScrollArea(page);
        scroll->setObjectName(QStringLiteral("scrollview_sound_cloud_%1").arg(i));
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        pageLayout->addWidget(scroll);
        m_tabs->insertTab(static_cast<int>(i) + 3, page, FromU16(config.CloudCategoryName(i)));
        BuildGrid(scroll, config.CloudItems(i), pads::CloudGridBase(i), false, false);
    }
    m_buildingTabs = false;
    SelectSavedTab(true);
}
