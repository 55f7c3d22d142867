#pragma once

// LoginBackground: the login page's background picture, an image drawn stretched over the
// whole widget.

#include <QImage>
#include <QWidget>

class LoginBackground : public QWidget
{
    Q_OBJECT
public:
    explicit LoginBackground(QWidget *parent = nullptr);
    void setImage(const QImage &image);
    const QImage &image() const { return picture; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage picture;
};
