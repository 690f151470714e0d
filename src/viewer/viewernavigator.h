#pragma once
// Moving through the pictures of a PictureList: next, previous, first, last and random, and the
// slide show that steps through them on a timer.
//
// ViewerNavigator walks the list it is given (not owned; it must outlive its use here) over
// exactly the rows the list counts as pictures (isKnownPicture), so that the position "n/N" and
// the walk agree: every row walked is counted and every row counted is walked. A move makes the
// row it reaches the selected one and reads nothing: the viewer shows that row, or why it cannot
// be read, and moves on from it like from any other. Each move returns true when the selection
// moved (Random and First/Last also when they chose the row already selected). UI thread only.

#include <QObject>
#include <QString>
#include <QTimer>

class CAppSettings;
class PictureList;

class ViewerNavigator : public QObject {
    Q_OBJECT
public:
    // Who asks for Next or Previous: the commands and keys do nothing while the list holds
    // exactly one known picture; the slide show walks on.
    enum class Trigger { Command, SlideShow };

    explicit ViewerNavigator(QObject* parent = nullptr) : QObject(parent) {}

    void setList(PictureList* list) { m_list = list; }
    PictureList* list() const { return m_list; }

    // From the selected row to the next (previous) known picture. Past the last (first) one the
    // walk comes round to the first (last) with `wrap`; without, or when no other known picture
    // is there to go to, nothing moves and endReached() is emitted.
    bool Next(bool wrap, Trigger trigger = Trigger::Command);
    bool Previous(bool wrap, Trigger trigger = Trigger::Command);
    // The first (last) known picture; false when there is none.
    bool First();
    bool Last();
    // A known picture chosen uniformly at random, the shown one included; false when there is
    // none.
    bool Random();

    // The selected row's path (the list's folder + its name); empty without one.
    QString currentPath() const;
    // "%d/%d": the known pictures up to the selected row, over the list's picture count; empty
    // without a selected row or when that row is no known picture (it has no place among them).
    QString positionText() const;

Q_SIGNALS:
    void endReached();

private:
    bool step(int direction, bool wrap, Trigger trigger);
    // The first known picture from `from` on (itself included) in `direction`; -1 without one.
    int knownFrom(int from, int direction) const;
    // Selects `to`, known to be a picture, as the only selected row.
    bool moveTo(int to);

    PictureList* m_list = nullptr;
};

// SlideShow: one step of the navigator per tick of its timer, with the options' "Timer" (read
// once, when it starts; 0 means no slide show), "Select" and "Around" (read at every step). It
// stops when told to, and when the navigator reports the end (Next or Previous at the end
// without wrapping, or a round in which no row loaded), whoever asked for the move. The options
// must outlive it. UI thread only.
class SlideShow : public QObject {
    Q_OBJECT
public:
    // "Select": any value other than reverse and random runs forward.
    enum Order : int { kForward = 0, kReverse = 1, kRandom = 2 };

    SlideShow(ViewerNavigator& navigator, const CAppSettings& options, QObject* parent = nullptr);
    // The order the options ask for now.
    Order order() const;

    // Starts with the stored delay; false (and not running) when it is 0.
    bool start();
    void stop();
    bool isRunning() const { return m_timer.isActive(); }
    // One tick: Next or Previous with the stored wrap, or Random. Emits shown() when a picture
    // was loaded.
    void step();

Q_SIGNALS:
    void shown();
    void runningChanged(bool running);

private:
    ViewerNavigator& m_navigator;
    const CAppSettings& m_options;
    QTimer m_timer;
};
