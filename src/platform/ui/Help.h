#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class QTextBrowser;
class QWidget;

namespace ui {

// The program's help: pages of HTML among the resources, one for each window
// named after it, shown in a window of their own when F1 is pressed in any
// window of the program.
class Help final : public QObject {
public:
    // Listens for F1 in every window of the application.
    Help();
    ~Help() override;

    // Opens the help at the page of the window named topic, or at its first
    // page when that window has none; help already open only comes forward.
    void showTopic(const QString& topic);
    void close();
    // What the pages show where they write {{name}}, from the next opening.
    void setFact(const QString& name, const QString& value);

    // The help window while it is open.
    QWidget* window() const;
    QTextBrowser* page() const;

    // Where a window's page is, and the first page.
    static QString pageOf(const QString& topic);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
    QHash<QString, QString> facts_;
};

} // namespace ui
