#include "engine/dispose_settings.h"

#include "config/settings_store.h"

namespace plotdesk::engine {

ReaderOptions DisposeSettings::readerOptions() const {
  ReaderOptions o;
  o.scale = scale;
  o.fileType = fileType;
  o.splitLabel = splitLabel;
  o.autoLink = autoLink;
  o.minDistanceClose = minDistanceClose;
  return o;
}

DisposeSettings readDisposeSettings(const SettingsStore& s) {
  DisposeSettings d;
  d.programFolder = s.programFolder();
  d.splitPageEnabled = s.Split_Page_Enabled() == 1;
  d.pageWidth = s.Page_Width();
  d.pageLength = s.Page_Length();
  d.storedAlignType = s.Split_AlignType();

  if (d.paginationEnabled()) {
    d.fileType = s.File_Type();
    d.splitLabel = s.Split_Label();
    d.scale = s.Graphics_Zoom() * 0.01;
    d.addPG = s.Add_PG() != 0;
    d.scanExtContour = s.Scan_Ext_Contour() != 0;
    d.aaToLine = s.AA_To_Line() != 0;
    d.addPagiPG = s.Add_PagiPG() != 0;
    d.removeSawtooth = s.Split_DExtraSawtooth() != 0;
    d.alignType = s.Split_AlignType();
    d.autoCutMaterial = s.Auto_CutMaterial() != 0;
    d.autoFeedMaterial = s.Auto_FeedMaterial() != 0;
    d.dotlineToLine = s.DotlineToline() != 0;
  }

  d.optimise = s.Optimize_Function() == 1;
  if (d.optimise) {
    d.cutterHandle = s.Cutter_Handle() != 0;
    d.autoLink = s.Auto_Link() != 0;
    d.minDistanceClose = s.MinDistance_Close();
    d.leaveCut = s.Leave_Cut() != 0;
    d.distLeaveCut = s.Dist_Leave_Cut();
    d.distLeaveCut2 = s.Dist_Leave_Cut2();
    d.spDecomp = {s.SP_Decomp1() != 0, s.SP_Decomp2() != 0, s.SP_Decomp3() != 0, s.SP_Decomp4() != 0,
                  s.SP_Decomp5() != 0, s.SP_Decomp6() != 0, s.SP_Decomp7() != 0, s.SP_Decomp8() != 0};
    d.spOrder = s.SP_Order() != 0;
    d.spOut = {s.SP_OutOne(), s.SP_OutTwo(),   s.SP_OutThird(),   s.SP_OutFour(),
               s.SP_OutFifth(), s.SP_OutSixth(), s.SP_OutSeventh(), s.SP_OutEighth()};
    if (d.spOrder) {
      d.sooAddPagebreak = s.SooAddPagebreak() != 0;
      d.addSPNewFile = s.AddSPNewFile() != 0;
    }
  }

  d.fontDispose = s.FontDispose_Enabled() != 0;
  d.othenType = s.Othen_Type() != 0;
  d.fontScaleX = s.ScaleX();
  d.fontScaleY = s.ScaleY();
  d.fontSpace = s.Space();
  d.positionOptimize = s.Position_Optimize() != 0;
  d.deletePoints = s.DeletePoint_Enabled() != 0;
  d.dpIntervalPoints = s.DPIntervalPoints();
  d.dpMinLength = s.DPMinLength();
  d.dpMinAngle = s.DPMinAngle();
  d.addPoints = s.AddPoint_Enabled() != 0;
  d.apTimes = s.APTimes();
  d.apMinLength = s.APMinLength();
  d.apMaxLength = s.APMaxLength();
  d.apMinAngle = s.APMinAngle();
  d.apMaxAngle = s.APMaxAngle();
  d.holdPosition = s.QKIC_HoldPosition() != 0;
  d.inkjetMark = s.QKIC_InkjetMark() != 0;
  d.inkjetMinPosit = s.QKIC_InkjetMinPosit() != 0;
  d.markLength = s.QKIC_MarkLength();
  d.markWidth = s.QKIC_MarkWidth();
  d.strokeSet = s.Stroke_Set() != 0;
  d.strokeSP = {s.Stroke_SP1(), s.Stroke_SP2(), s.Stroke_SP3(), s.Stroke_SP4(),
                s.Stroke_SP5(), s.Stroke_SP6(), s.Stroke_SP7(), s.Stroke_SP8()};
  d.controlMacPrg = s.ControlMacPrg() != 0;
  d.cutBeginFeed = s.CutBegin_Feed() != 0;
  d.machineType = s.Machine_Type();
  return d;
}

}  // namespace plotdesk::engine
