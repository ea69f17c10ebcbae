// A line edit that hands its text over when editing finishes.
#pragma once

#include <QLineEdit>

class VOKR_LINE_EDIT : public QLineEdit {
    Q_OBJECT
public:
    VOKR_LINE_EDIT();
signals:
    void editing_finished(const QString& text);
public slots:
    void on_editing_finished();
};
