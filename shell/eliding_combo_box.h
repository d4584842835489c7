#pragma once

#include <QComboBox>

// A drop-down list whose width does not follow its longest entry: the text shown is
// elided to the room there is, and the whole text is its tool tip.
class ElidingComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit ElidingComboBox(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
