#include "ProgressLine.h"

#include <ostream>

namespace lurkel::cli {

void ProgressLine::show(const std::string &text)
{
    if (!m_io.stderrIsTerminal) return;
    m_io.err << "\r\033[K" << text << std::flush;
    m_shown = true;
}

void ProgressLine::clear()
{
    if (m_shown) m_io.err << "\r\033[K" << std::flush;
    m_shown = false;
}

} // namespace lurkel::cli
