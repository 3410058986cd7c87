#pragma once

#include <QFrame>
#include <QString>
#include <functional>

class INotifyCenter;
class QLabel;
class QToolButton;

// A bar above the pages for a card that is there but cannot be attached (a node this user may
// not open, a card on the bus without a node, a card another program holds): the card checks'
// problems, each with the commands that fix it, and a close button. Refreshed when the window
// opens and on each device change; hidden while a card is attached and when no card is there.
// The checks read the file system and open the card's node: quick, on the UI thread.
class CDiagnosisBar : public QFrame {
  public:
    // Placed across the top of parent's pages; follows the device changes posted to center.
    CDiagnosisBar(QWidget* parent, INotifyCenter& center, std::function<bool()> attached);
    ~CDiagnosisBar() override;

    // Runs the card checks unless a card is attached, and shows or hides the bar.
    void Refresh();
    QString Text() const;
    QToolButton* CloseButton() const { return m_close; }

  private:
    void Place(const QString& html);

    INotifyCenter& m_center;
    const std::function<bool()> m_attached;
    int m_subscription = 0;
    QLabel* m_text = nullptr;
    QToolButton* m_close = nullptr;
    QString m_dismissed;  // closed by the user: not shown again until a card arrives or leaves
};
