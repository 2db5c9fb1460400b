#include "mapview.h"

namespace {
MapView::Factory installed = nullptr;
}

MapView::MapView(QWidget *parent)
    : QWidget(parent)
{
}

void MapView::setFactory(Factory factory)
{
    installed = factory;
}

MapView *MapView::create(QWidget *parent)
{
    return installed ? installed(parent) : nullptr;
}
