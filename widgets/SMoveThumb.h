#pragma once

#include <QColor>
#include <QWidget>

// A round handle the user drags. It does not move itself: it proposes a position with
// thumbMoving() and its owner decides where it goes (PlaceCentre). Between placements it
// keeps its centre's position relative to its parent and returns there when the parent is
// resized.
class SMoveThumb : public QWidget {
    Q_OBJECT
    // The band the handle belongs to (0..63); negative for extra-filter and bandwidth handles.
    Q_PROPERTY(int id READ Index WRITE SetIndex)
    Q_PROPERTY(QColor centerColor READ CenterColor WRITE SetCenterColor)
    Q_PROPERTY(double xFloat READ XFloat WRITE SetXFloat)
    Q_PROPERTY(double yFloat READ YFloat WRITE SetYFloat)
    Q_PROPERTY(bool canXMove MEMBER canXMove_)
    Q_PROPERTY(bool canYMove MEMBER canYMove_)
    Q_PROPERTY(bool canOutsize MEMBER canOutsize_)

  public:
    explicit SMoveThumb(QWidget* parent = nullptr);
    ~SMoveThumb() override;

    int Index() const { return index_; }
    void SetIndex(int index) { index_ = index; }
    QColor CenterColor() const { return centerColor_; }
    void SetCenterColor(const QColor& c);
    // The rim: the centre's red, green and blue each plus 57, modulo 256.
    QColor RimColor() const;
    double XFloat() const { return xFloat_; }
    double YFloat() const { return yFloat_; }
    void SetXFloat(double x);
    void SetYFloat(double y);

    // Puts the handle's centre at p (parent coordinates) and remembers it relative to the
    // parent.
    void PlaceCentre(QPoint p);

  signals:
    // While dragged: the top-left position the mouse asks for, in parent coordinates.
    void thumbMoving(int index, QPoint topLeft);

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void changeEvent(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    void WatchParent();
    void PlaceFromFloats();

    int index_ = 0;
    QColor centerColor_{200, 200, 200, 0};
    double xFloat_ = 0.0, yFloat_ = 0.0;
    bool floatsSet_ = false;  // a layout's own geometry holds until a relative position exists
    bool canXMove_ = true, canYMove_ = true, canOutsize_ = false;
    bool dragging_ = false;
    QPoint grabOffset_;
    QWidget* watched_ = nullptr;
};
