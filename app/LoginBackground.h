#pragma once

#include <QImage>
#include <QWidget>

// The login page's background picture: an image drawn stretched over the whole widget.
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
