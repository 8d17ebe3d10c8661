#include "ProgramStarter.h"

#include <QProcess>
#include <QStandardPaths>

namespace platform {

QStringList SystemProgramStarter::candidates(DesktopProgram program) {
    switch (program) {
#ifdef Q_OS_WIN
    // The two long paths name the folder on the current drive.
    case DesktopProgram::MediaPlayer:
        return {QStringLiteral("\\Program Files\\Windows Media Player\\wmplayer.exe")};
    case DesktopProgram::Calculator:
        return {QStringLiteral("calc.exe")};
    case DesktopProgram::TextEditor:
        return {QStringLiteral("notepad.exe")};
    case DesktopProgram::SystemInformation:
        return {QStringLiteral(
            "\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe")};
#else
    case DesktopProgram::MediaPlayer:
        return {QStringLiteral("totem"),  QStringLiteral("vlc"),      QStringLiteral("celluloid"),
                QStringLiteral("parole"), QStringLiteral("smplayer"), QStringLiteral("dragon")};
    case DesktopProgram::Calculator:
        return {QStringLiteral("gnome-calculator"), QStringLiteral("kcalc"),
                QStringLiteral("galculator"),       QStringLiteral("mate-calc"),
                QStringLiteral("qalculate-gtk"),    QStringLiteral("xcalc")};
    case DesktopProgram::TextEditor:
        return {QStringLiteral("gedit"),    QStringLiteral("gnome-text-editor"),
                QStringLiteral("kate"),     QStringLiteral("kwrite"),
                QStringLiteral("mousepad"), QStringLiteral("pluma"),
                QStringLiteral("xed"),      QStringLiteral("featherpad"),
                QStringLiteral("leafpad")};
    case DesktopProgram::SystemInformation:
        return {QStringLiteral("hardinfo"),
                QStringLiteral("kinfocenter"),
                QStringLiteral("gnome-system-monitor"),
                QStringLiteral("mate-system-monitor"),
                QStringLiteral("xfce4-taskmanager"),
                QStringLiteral("lxtask")};
#endif
    }
    return {};
}

ProgramStart SystemProgramStarter::start(DesktopProgram program) {
    ProgramStart result;
    result.tried = candidates(program);
    for (const QString& name : result.tried) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty()) {
            result.program = name;
            result.started = QProcess::startDetached(path, {});
            break;
        }
    }
    return result;
}

} // namespace platform
