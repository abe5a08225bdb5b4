// The views of one of several updates at once: the single update's views, with their text and
// progress handed to the board instead of written, since another thread draws.
#pragma once
#include <cstddef>

#include "console/view/PortBoard.h"
#include "console/view/RunView.h"

namespace console {

// On a terminal: the progress feeds the port's live line; the notes become whole lines.
class LivePortView : public RunView {
public:
    LivePortView(PortBoard& board, std::size_t port, std::FILE* out, base::Clock& clock)
        : RunView(out, clock), m_board(board), m_port(port) {}

    void stageChanged(update::Stage stage) override { m_board.stage(m_port, stage); }

private:
    void drawProgress(const Progress& progress, bool) override {
        m_board.progress(m_port, progress);
    }
    void endProgress() override {}
    void write(const std::string& text) override { m_board.text(m_port, text); }

    PortBoard& m_board;
    std::size_t m_port;
};

// Elsewhere: the plain lines of one update, each to be prefixed with its port.
class LinePortView : public LineView {
public:
    LinePortView(PortBoard& board, std::size_t port, std::FILE* out, base::Clock& clock)
        : LineView(out, clock), m_board(board), m_port(port) {}

    void stageChanged(update::Stage stage) override { m_board.stage(m_port, stage); }

private:
    void write(const std::string& text) override { m_board.text(m_port, text); }

    PortBoard& m_board;
    std::size_t m_port;
};

} // namespace console
