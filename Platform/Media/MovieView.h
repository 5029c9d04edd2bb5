#pragma once

#include "Platform/UI/View.h"

#include <QPointer>

namespace pf {

class Movie;

// Shows a movie's frames, scaled to the view with the aspect kept (black bars beside), and passes the
// play, pause and go-to-beginning commands on. Views laid over it draw above the picture. Main thread.
class MovieView : public View
{
    Q_OBJECT
public:
    explicit MovieView(const Rect& frame = Rect(), QWidget* parent = nullptr);

    // Not owned: the movie's owner keeps it for as long as the view shows it.
    void setMovie(Movie* movie);
    Movie* movie() const { return m_movie; }
    void play();
    void pause();
    void gotoBeginning();

    void drawRect(QPainter& painter, const Rect& dirtyRect) override;

private:
    QPointer<Movie> m_movie;
    QMetaObject::Connection m_frameConnection;
};

} // namespace pf
