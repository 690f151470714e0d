#pragma once
// Moving through the pictures of a PictureList: next, previous, first, last and random, and the
// slide show that steps through them on a timer.
//
// ViewerNavigator walks the list it is given (not owned; it must outlive its use here) and loads
// each chosen row with the load function, which gets the row's full path and answers whether the
// picture was read; it must leave the shown picture as it was when it fails, because rows that
// do not load (the parent entry, folders, unreadable files) are passed over. A row that loads is
// marked as a known picture and becomes the selected one. Each move returns true when a new
// picture was loaded and the view must show it. UI thread only.

#include <functional>

#include <QObject>
#include <QString>
#include <QTimer>

class CAppSettings;
class PictureList;

class ViewerNavigator : public QObject {
    Q_OBJECT
public:
    using LoadFunction = std::function<bool(const QString& path)>;
    // Who asks for Next or Previous: the commands and keys do nothing while the list holds
    // exactly one known picture; the slide show walks on.
    enum class Trigger { Command, SlideShow };

    explicit ViewerNavigator(LoadFunction load, QObject* parent = nullptr);

    void setList(PictureList* list) { m_list = list; }
    PictureList* list() const { return m_list; }

    // From the selected row on, forwards or backwards, to the first row that loads. Past the end
    // the walk goes on from the other end with `wrap`, else back to the starting row. At the last
    // (first) known picture without `wrap`, or with a single row, nothing moves and endReached()
    // is emitted; so it is when not one row loads in a whole round.
    bool Next(bool wrap, Trigger trigger = Trigger::Command);
    bool Previous(bool wrap, Trigger trigger = Trigger::Command);
    // The first (last) row that is a known picture or has a picture extension and loads.
    bool First();
    bool Last();
    // A known picture chosen uniformly at random, the shown one included; nothing moves when
    // there is none or its load fails.
    bool Random();

    // The selected row's path (the list's folder + its name); empty without one.
    QString currentPath() const;
    // "%d/%d": the known pictures before the selected row plus 1, over the list's picture count;
    // empty without a selected row.
    QString positionText() const;

Q_SIGNALS:
    void endReached();

private:
    bool step(int direction, bool wrap, Trigger trigger);
    bool firstLoading(int from, int direction);
    int knownBefore(int row) const;
    bool load(int row);
    void moveSelection(int from, int to);

    LoadFunction m_load;
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
