#include "CliReporter.h"

namespace {
// Wide enough for "Updating 128 of 128 registers: " and any block name.
constexpr int ProgressWidth = 78;
} // namespace

CliReporter::CliReporter(QTextStream &err, bool showProgress) : m_err(err), m_showProgress(showProgress) {}

int CliReporter::messageBox(const QString &text, const QString &title, Kind, unsigned buttons, int)
{
    QString flat = text;
    flat.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char(' '));
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    note(title + QLatin1String(": ") + flat.simplified());
    if (buttons & OK)
        return IdOK;
    if (buttons & Yes)
        return IdYes;
    return IdCancel;
}

void CliReporter::note(const QString &text)
{
    if (m_messageShown) {
        ++m_suppressed;
        return;
    }
    clearProgress();
    m_messageShown = true;
    m_err << text << "\n";
    m_err.flush();
}

void CliReporter::progress(const QString &text, int step, int steps)
{
    if (!m_showProgress)
        return;
    const QString line = QStringLiteral("[%1/%2] %3").arg(step, 3).arg(steps).arg(text).left(ProgressWidth);
    m_err << "\r" << line.leftJustified(ProgressWidth) << "\r";
    m_err.flush();
    m_progressShown = true;
}

void CliReporter::clearProgress()
{
    if (!m_progressShown)
        return;
    m_err << "\r" << QString(ProgressWidth, QLatin1Char(' ')) << "\r";
    m_progressShown = false;
}

void CliReporter::finish()
{
    clearProgress();
    if (m_suppressed > 0)
        m_err << QStringLiteral("(%1 further %2 not shown)\n")
                     .arg(m_suppressed)
                     .arg(m_suppressed == 1 ? QStringLiteral("message") : QStringLiteral("messages"));
    m_err.flush();
    m_suppressed = 0;
    m_messageShown = false;
}
