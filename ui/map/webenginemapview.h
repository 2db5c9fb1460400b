#pragma once

#include "mapview.h"

class QWebEngineView;

//! The map page shown by the web engine.
class WebEngineMapView final : public MapView
{
    Q_OBJECT
    Q_DISABLE_COPY(WebEngineMapView)

public:
    //! The engine's needs before the application object exists; then makes it the maps' engine.
    static void install();

    explicit WebEngineMapView(QWidget *parent = nullptr);

    void load(const QUrl &url) override;
    QUrl url() const;

private:
    QWebEngineView *m_view;
};
