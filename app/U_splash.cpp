#include "app/U_splash.h"

#include "app/WindowPlacement.h"

#include <QLabel>

TFrm_Splash::TFrm_Splash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), Image1(new QLabel(this)) {
    setFixedSize(461, 278);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    Image1->hide();
    centreOnScreen(this);
}
