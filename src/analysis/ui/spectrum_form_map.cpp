// "F ( f , t );": the spectra of the last interval computation as a colour map with its legend.
#include <QCheckBox>
#include <QLineEdit>
#include <QPainter>

#include "analysis/spectrogram_map.h"
#include "analysis/spectrum_colors.h"
#include "analysis/ui/spectrum_form.h"
#include "platform/ui/colors.h"

namespace analysis {

void TForm_spek::Fft1Click() {
  PBs->Clear();
  ColourMapInput in;
  in.density = CB_spektr_plotn->isChecked();
  in.automatic = CB_am_sp->isChecked();
  in.log = S().SpectrumScale != 0;
  in.manual = Manual;
  in.logFloor = S().LogFloor;
  in.plotWidth = Plot.PlotWidth;
  in.plotHeight = Plot.PlotHeight;
  in.lastBin = S().SpectrumLastBin;
  const ColourMap m = BuildColourMap(Buffers, in);
  if (m.drawNothing) {
    PBs->update();
    return;
  }
  {
    QPainter p(&PBs->Image());
    for (int t = 0; t < m.rows; ++t)
      for (int c = 0; c < m.cells; ++c) {
        const int i = m.index[static_cast<size_t>(t) * m.cells + c];
        p.fillRect(c * m.dx, t * m.dy, m.dx, m.dy, platform::ui::ColorFromBgr(SpectrumColors[i]));
      }
  }
  DrawScaleLabels(Plot.PlotHeight, ColourMapLowerLevel(m), m.upper);
  DrawColourScale(m.lower, m.upper);
  PBs->update();
}

void TForm_spek::DrawColourScale(double lowerOrRatio, double upper) {
  const bool log = S().SpectrumScale != 0;
  QPainter p(&PBs->Image());
  p.setFont(PBs->font());
  const QFontMetrics metrics(p.font());
  const int textX = E_ma->x() - 13 - metrics.horizontalAdvance("0123456789");
  const int h = PBs->Image().height();
  for (int i = 1; i <= 12; ++i) {
    const QColor colour = platform::ui::ColorFromBgr(SpectrumColors[i]);
    p.setPen(QPen(colour, 15, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(31 * i + 5, h - 20, 31 * i + 35, h - 20);
    p.setPen(QPen(colour, 1));
    const std::string text = ScaleLabelText(ColourLevel(log, lowerOrRatio, upper, i));
    p.drawText(QPoint(textX, 20 * i + 70 + metrics.ascent()), QString::fromStdString(text));
  }
}

}  // namespace analysis
