#include "support/RecordingPaintDevice.h"

#include <QPainterPath>

namespace brimlet::test {
namespace {

class RecordingEngine final : public QPaintEngine {
  public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState& changed) override {
        const DirtyFlags dirty = changed.state();
        if (dirty & DirtyBrush) {
            brush_ = changed.brush();
        }
        if (dirty & DirtyTransform) {
            transform_ = changed.transform();
        }
        if (dirty & DirtyCompositionMode) {
            mode_ = changed.compositionMode();
        }
        if (dirty & DirtyHints) {
            antialiased_ = changed.renderHints().testFlag(QPainter::Antialiasing);
        }
    }

    void drawPath(const QPainterPath& path) override {
        fills.append({transform_.map(path).boundingRect(), brush_.color(), mode_, antialiased_});
    }

    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}

    QList<RecordedFill> fills;

  private:
    QBrush brush_;
    QTransform transform_;
    QPainter::CompositionMode mode_ = QPainter::CompositionMode_SourceOver;
    bool antialiased_ = false;
};

}  // namespace

RecordingPaintDevice::RecordingPaintDevice(int width, int height)
    : width_(width), height_(height), engine_(std::make_unique<RecordingEngine>()) {}

RecordingPaintDevice::~RecordingPaintDevice() = default;

QPaintEngine* RecordingPaintDevice::paintEngine() const {
    return engine_.get();
}

const QList<RecordedFill>& RecordingPaintDevice::fills() const {
    return static_cast<const RecordingEngine*>(engine_.get())->fills;
}

int RecordingPaintDevice::metric(PaintDeviceMetric metric) const {
    switch (metric) {
        case PdmWidth:
            return width_;
        case PdmHeight:
            return height_;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 72;
        case PdmDepth:
            return 32;
        case PdmNumColors:
            return INT_MAX;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return static_cast<int>(devicePixelRatioFScale());
        default:
            return 0;
    }
}

}  // namespace brimlet::test
