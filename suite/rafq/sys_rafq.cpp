// The suite's help display, loaded at run time by the modules that offer help for a message.
// It opens one help window, reused by every call, on the topic it is given.
#include <QApplication>
#include <QPointer>
#include <QTextBrowser>

#include <string>

extern "C" Q_DECL_EXPORT void rafq_dyn_show_msg_help_impl(const std::string& help_id)
{
    static QPointer<QTextBrowser> window;
    if (help_id.empty() || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    if (!window) {
        window = new QTextBrowser;
        window->setObjectName("rafq_help_window");
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->resize(480, 320);
    }
    const QString topic = QString::fromStdString(help_id).toHtmlEscaped();
    window->setWindowTitle(QString("Help - %1").arg(topic));
    window->setHtml(QString("<h3>%1</h3><p>Help topic <tt>%1</tt>.</p>").arg(topic));
    window->show();
    window->raise();
}
