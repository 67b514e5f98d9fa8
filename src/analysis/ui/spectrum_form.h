#pragma once
// TForm_spek: the spectrum window. Computes and draws spectra of the processed channel over the
// selection between the main window's cursors (spectrum_compute.cpp), redraws them with their axes and
// the cross-hair cursor (spectrum_plot.cpp), and edits the spectrum settings in its parameter panel
// (spectrum_panel.cpp). The cross-spectra (spectrum_form_cross.cpp), the responses and exports
// (spectrum_form_responses.cpp), F(f,t) (spectrum_form_map.cpp) and the spectral-temporal map
// (spectrum_form_swan.cpp) have files of their own.
#include <QDialog>
#include <memory>
#include <string>

#include "analysis/level_range.h"
#include "analysis/spectrum_axes.h"
#include "analysis/spectrum_buffers.h"
#include "analysis/spectrum_cursor.h"
#include "platform/ui/paint_box.h"
#include "toolkit/setup_record.h"
#include "viewer/ui/xor_lines.h"

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace analysis {

class RadioGroup;

class TForm_spek : public QDialog {
  Q_OBJECT

 public:
  explicit TForm_spek(QWidget* parent = nullptr);
  ~TForm_spek() override;

  // The main window's "спектр": shows the window modally.
  void ShowModalFromMain();

  // Menu.
  QMenuBar* MainMenu1;
  QAction* spektr;
  QAction* N_XYZ;
  QAction* B3_Bcex;
  QAction* Bza_sp;
  QAction* CBAH1;
  QAction* Fft1;
  QAction* summ;
  QAction* cur;
  QAction* LB_s;
  QAction* cmena;
  QAction* ToFile;
  QAction* N_forma;
  QAction* forACH;
  // Plot area.
  QFrame* Panel_PBs;
  platform::ui::PaintBox* PBs;
  QCheckBox* CB_am_sp;
  QLineEdit* E_ma;
  QLineEdit* E_mi;
  QListWidget* LB_spek;
  QProgressBar* ProgressBar1;
  QFrame* Bevel1;
  // Parameter panel.
  QFrame* P_yct_sp;
  QLineEdit* E_time_CBAH;
  RadioGroup* RG_F;
  QSpinBox* UD_f_nf;
  QLineEdit* E_np;
  RadioGroup* Rad_Gr_sk;
  RadioGroup* Rad_Gr_ok;
  QCheckBox* CB_spektr_plotn;
  QPushButton* H_i_KOGER;
  QCheckBox* CB_fase;
  QLineEdit* Ed_f_cm;
  QLineEdit* Ed_f_N1;
  QLineEdit* Ed_f_N2;
  QLineEdit* E_spek_min;
  QLabel* L_K_g;
  QLabel* L_garm;
  QLineEdit* E_ACH;
  QGroupBox* GroupBox2;
  RadioGroup* RGSwan;
  QCheckBox* CB2;
  QCheckBox* CB3;
  QLineEdit* Edit2;
  QLineEdit* Edit3;
  QLineEdit* E_g_CBAH;
  QLineEdit* Edit5;
  QPushButton* B_O_key;
  QPushButton* Button1;

  // Members.
  SpectrumBuffers Buffers;  // WorkBuffer, Spectra, N, IntervalCount, CrossMode, the window
  SpectrumCursor Cursor;    // CursorX, CursorY, CursorValue
  ManualLevels Manual;      // ManualMax, ManualMin
  float ScaleHeight = 0.0f;
  float ScaleMin = 0.0f;
  float ScaleMax = 1.0f;
  bool ScaleLog = false;
  int16_t CursorLineIndex = 15;
  int16_t RedrawValid = 0;
  int32_t TransferMode = 0;
  int32_t CursorMode = 0;
  uint32_t Background = 0x000000;
  PlotGeometry Plot;  // PlotWidth, PlotHeight, Bottom
  QRect ClearRect;
  QString ReadoutText;  // the cursor readout drawn last
  viewer::LineBitmaps CursorBitmaps;
  viewer::LineBitmaps LineBitmaps;

  // Handlers.
  void FormShow();
  void FormPaint();
  void FormKeyDown(int key, bool ctrl);
  // Escape in the open parameter panel and the arrows of cursor mode, wherever the focus is; true when
  // the key was used.
  bool PreviewKey(const QKeyEvent& key);
  void MoveSpectrumCursor(int key, bool ctrl, int left);
  void EnableSpectrumMenus(int state);
  void spektrClick();
  void summClick();
  void curClick();
  // Ends cursor mode: "авто" back, the cross-hair and its readout erased.
  void LeaveCursorMode();
  // A spectrum has been computed: the redraw, the values list, the file and the cursor have a curve.
  bool HasSpectrum() const { return Buffers.N >= 2; }
  void LB_sClick();
  void ToFileClick();
  // Writes the last spectrum to "<recording>.s<channel>"; a failure is shown naming the file.
  void WriteSpectrumFile(int channel);
  void cmenaClick();
  void Button1Click();
  void CB_am_spClick();
  void E_maChange();
  void ShowSpectrumParameters();
  void ApplySpectrumParameters();
  void UpdateTransformLength();
  // The two spectrum computations behind "спектр;" (n already checked for its mode).
  void ComputeIntervalSpectrum(int32_t n);
  void ComputeSingleSpectrum(int32_t n);
  // Clears the plot, shows the progress bar and brings the bins inside the transform's half.
  void BeginComputation(int32_t n);
  double ApplySpectrumWindow(float* w, int32_t n);
  // Slots of the cross-spectrum, response, F(f,t) and spectral-temporal commands.
  void Bza_spClick(QAction* sender);
  void N_XYZClick();
  void forACHClick();
  void N_formaClick();
  void Fft1Click();
  void H_i_KOGERClick();
  // The cross-spectra behind Bza_spClick: the processed channel against the next, channel 0 against
  // all; false when nothing was computed (a message said why).
  bool H_i_kog();
  bool H_i_kog_all();
  // Checks the transform length, clears the plot and brings the bins inside its half.
  bool BeginCrossComputation(int32_t& n);
  void CBAH1Click();
  // "АЧХ_WZ;": the ratio of the horizontal components' mean amplitude to the vertical one, per interval.
  void ComputeRatioWZ();
  // The colour legend of the F(f,t) map for (lower level or ratio, upper level).
  void DrawColourScale(double lowerOrRatio, double upper);
  void RunSpectralTemporalAnalysis(int32_t first, int32_t end, float dt);

  // Drawing shared by the computations.
  // Chooses the level range of a computation from its largest amplitude and draws the axes.
  void StartComputationPlot(double largest);
  void DrawSpectrumAxes(double height, double lower, double upper, int n);
  void DrawScaleLabels(double height, double lower, double upper);
  // y of level v on the current scale, never above `top`.
  int LevelToY(double v, int top) const;
  // The polyline of ys over bins first .. ys.size()-1 (bin k at its x), in colour `bgr`.
  void DrawCurve(const std::vector<int>& ys, uint32_t bgr, size_t first = 0);
  // The strip of samples x[first .. first+count-1] above the curve, scaled to the processed channel's
  // range, with the text of the first sample's time.
  void DrawSampleStrip(const float* x, int32_t first, int32_t count, int32_t n);
  void DrawText(int x, int y, const QString& text, uint32_t bgr);
  // Shows the image now.
  void Present();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildMenu();
  void BuildPlotArea(QWidget* client);
  void BuildParameterPanel();
  void LayOut();
  // The processed channel's samples when a selection is loaded; otherwise a message and null.
  const float* SelectedSamples();
  void DrawCursorLines();
  void DrawCursorReadout();

  toolkit::SetupRecord& S() const { return *toolkit::Setup; }
  QWidget* client_ = nullptr;
  uint32_t lastPresent_ = 0;
  int lastMode_ = 0;     // mode of the last computation (the file's matrix follows only for mode 0)
  int32_t lastStart_ = 0;  // first sample it used
};

}  // namespace analysis
