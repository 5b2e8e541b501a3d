// Register tables of the Kova chip. Every table of the register model is here and
// nowhere else; the lookups and the packing code read them.
#include "regs/regmap_data.h"

#include <cstddef>
#include "hal/hal_api.h"

// Named registers in ascending address order, with their bit layouts from bit 7 down to
// bit 0. Columns: every device (or class A), class B, class C; nullptr = same as the
// column on the left. Registers without a bit layout have nullptr in every column.
const kova_reg_row_s kova_reg_rows[] = {
    {0x000, "EESEL", {"- - - - - - - EESEL", nullptr, nullptr}},
    {0x001, "EEOFFA1", {"EEOFF0[7:0]", nullptr, nullptr}},
    {0x002, "EEOFFA2", {"- - - EEOFF0[12:8]", nullptr, nullptr}},
    {0x003, "EEOFFB1", {"EEOFF1[7:0]", nullptr, nullptr}},
    {0x004, "EEOFFB2", {"- - - EEOFF1[12:8]", nullptr, nullptr}},
    {0x005, "EEOFFC1", {"EEOFF2[7:0]", nullptr, nullptr}},
    {0x006, "EEOFFC2", {"- - - EEOFF2[12:8]", nullptr, nullptr}},
    {0x007, "EEOFFD1", {"EEOFF3[7:0]", nullptr, nullptr}},
    {0x008, "EEOFFD2", {"- - - EEOFF3[12:8]", nullptr, nullptr}},
    {0x009, "MCR1", {"RST VCXO MCSEL1 MCSEL ROSCD DBL XAB[1:0]", nullptr, nullptr}},
    {0x00A, "MCR2", {"- EXTSS[1:0] AINCDIS - MCLK[2:0]", nullptr, nullptr}},
    {0x00B, "PLLEN", {"- - - DPLLEN - - - APLLEN", nullptr, nullptr}},
    {0x00C, "ICEN", {"- - - - - IC3EN IC2EN IC1EN", nullptr, nullptr}},
    {0x00D, "OCEN", {"- - - - - OC3EN OC2EN OC1EN", nullptr, nullptr}},
    {0x00E, "GPIOCR1", {"GPIO1C[3:0] GPIO0C[3:0]", nullptr, nullptr}},
    {0x00F, "GPIOCR2", {"GPIO3C[3:0] GPIO2C[3:0]", nullptr, nullptr}},
    {0x012, "GPIO0SS", {"REG[4:0] BIT[2:0]", nullptr, nullptr}},
    {0x013, "GPIO1SS", {"REG[4:0] BIT[2:0]", nullptr, nullptr}},
    {0x014, "GPIO2SS", {"REG[4:0] BIT[2:0]", nullptr, nullptr}},
    {0x015, "GPIO3SS", {"REG[4:0] BIT[2:0]", nullptr, nullptr}},
    {0x01A, "SCO", {"SCO[7:0]", nullptr, nullptr}},
    {0x01B, "PACR1", {"RST TRIG ARM - - - TINV MODE", nullptr, nullptr}},
    {0x01C, "PACR2", {"ARMSRC[3:0] TRGSRC[3:0]", nullptr, nullptr}},
    {0x01D, "MABCR1", {"RST START - - - TBSRC[2:0]", nullptr, nullptr}},
    {0x01E, "MABCR2", {"AINV - - ASRC[4:0]", nullptr, nullptr}},
    {0x01F, "MABCR3", {"BINV - - BSRC[4:0]", nullptr, nullptr}},
    {0x030, "ID1", {"IDU[7:0]", nullptr, nullptr}},
    {0x031, "ID2", {"IDL[3:0] REV[3:0]", nullptr, nullptr}},
    {0x032, "DSPID1", {"DSPID[7:0]", nullptr, nullptr}},
    {0x033, "DSPID2", {"DSPID[15:8]", nullptr, nullptr}},
    {0x040, "CFGSR", {"TEST XOFAIL - - IF[1:0] AC[1:0]", nullptr, nullptr}},
    {0x041, "GPIOSR", {"- - - - GPIO3 GPIO2 GPIO1 GPIO0", nullptr, nullptr}},
    {0x042, "INTSR", {"- GLOB OC - - APLL INTIE INT", "- GLOB OC IC DPLL APLL INTIE INT", nullptr}},
    {0x043, "GLOBISR", {"BCDONE - - - - - PA MAB", nullptr, nullptr}},
    {0x044, "ICISR", {"- - - - - - - -", "- - - - - IC3 IC2 IC1", nullptr}},
    {0x045, "OCISR", {"- - - - - OC3 OC2 OC1", nullptr, nullptr}},
    {0x046, "APLLISR", {"- - - - - - - APLL", nullptr, nullptr}},
    {0x047, "DPLLISR", {"- - - - - - - -", "- - - - - - - DPLL", nullptr}},
    {0x048, "APLLSR",
     {"- ALK2IE ALK2L ALK2 - ALKIE ALKL ALK",
      "- ALK2IE ALK2L ALK2 ADLK ALKIE ALKL ALK",
      nullptr}},
    {0x049, "PTAB1", {"- - - - - - - -", "- - REF1[1:0] - - SELREF[1:0]", nullptr}},
    {0x04A, "PTAB2", {"- - - - - - - -", "- - REF3[1:0] - - REF2[1:0]", nullptr}},
    {0x04B, "MABSR1", {"- OVFL RDYIE RDYL BUSY MEAS[10:8]", nullptr, nullptr}},
    {0x04C, "MABSR2", {"MEAS[7:0]", nullptr, nullptr}},
    {0x04D, "PASR", {"XOSM[7:5] ERRL ADJIE ADJL BUSY ARMED", nullptr, nullptr}},
    {0x04E, "VALSR1", {"- - - - - - - -", "- IC2IE IC2L IC2 - IC1IE IC1L IC1", nullptr}},
    {0x04F, "VALSR2", {"- - - - - - - -", "- - - - - IC3IE IC3L IC3", nullptr}},
    {0x050, "IC1SR",
     {"- - - - - - - -",
      "LKCLR LKTO LOS ACVAL PCVAL - VAL VALT",
      "LKCLR LKTO LOS ACVAL PCVAL PPVAL VAL VALT"}},
    {0x051, "IC2SR",
     {"- - - - - - - -",
      "LKCLR LKTO LOS ACVAL PCVAL - VAL VALT",
      "LKCLR LKTO LOS ACVAL PCVAL PPVAL VAL VALT"}},
    {0x052, "IC3SR",
     {"- - - - - - - -",
      "LKCLR LKTO LOS ACVAL PCVAL - VAL VALT",
      "LKCLR LKTO LOS ACVAL PCVAL PPVAL VAL VALT"}},
    {0x053, "OC1SR", {"LSCLKIE LSCLKL LSCLK STARTIE STARTL STOPIE STOPL STOPD", nullptr, nullptr}},
    {0x054, "OC2SR", {"LSCLKIE LSCLKL LSCLK STARTIE STARTL STOPIE STOPL STOPD", nullptr, nullptr}},
    {0x055, "OC3SR", {"LSCLKIE LSCLKL LSCLK STARTIE STARTL STOPIE STOPL STOPD", nullptr, nullptr}},
    {0x056, "DSRR1", {"- - - - - - - -", "R7 R6 LOL TRK HO R2 R1 R0", nullptr}},
    {0x057, "DSRR2",
     {"- - - - - - - -",
      "R15 R14 R13 NORUN R11 FLIM - -",
      "R15 R14 R13 NORUN R11 FLIM FCHLIM PSLIM"}},
    {0x058, "DSRR3", {"- - - - - - - -", "R23 R22 R21 R20 R19 R18 R17 R16", nullptr}},
    {0x059, "DSRL1", {"- - - - - - - -", "L7 L6 LOLL TRKL HOL L2 L1 L0", nullptr}},
    {0x05A, "DSRL2",
     {"- - - - - - - -",
      "L15 L14 L13 L12 L11 FLIML - -",
      "L15 L14 L13 L12 L11 FLIML FCHLIML PSLIML"}},
    {0x05B, "DSRIE1", {"- - - - - - - -", "IE7 IE6 LOLIE TRKIE HOIE IE2 IE1 IE0", nullptr}},
    {0x05C, "DSRIE2",
     {"- - - - - - - -",
      "IE15 IE14 IE13 IE12 IE11 FLIMIE - -",
      "IE15 IE14 IE13 IE12 IE11 FLIMIE FCHLIMIE PSLIMIE"}},
    {0x05D, "DSRB1", {"B[7:0]", nullptr, nullptr}},
    {0x05E, "DSRB2", {"B[7:0]", nullptr, nullptr}},
    {0x05F, "DSRB3", {"B[7:0]", nullptr, nullptr}},
    {0x060, "DSRB4", {"B[7:0]", nullptr, nullptr}},
    {0x061, "DSRB5", {"B[7:0]", nullptr, nullptr}},
    {0x062, "DSRB6", {"B[7:0]", nullptr, nullptr}},
    {0x063, "DSRB7", {"B[7:0]", nullptr, nullptr}},
    {0x064, "DSRB8", {"B[7:0]", nullptr, nullptr}},
    {0x065, "DSRB9", {"FREQ[7:0]", nullptr, nullptr}},
    {0x066, "DSRB10", {"FREQ[15:8]", nullptr, nullptr}},
    {0x067, "DSRB11", {"FREQ[23:16]", nullptr, nullptr}},
    {0x068, "DSRB12", {"FREQ[31:24]", nullptr, nullptr}},
    {0x069, "DSRB13", {"B[7:0]", nullptr, nullptr}},
    {0x06A, "DSRB14", {"B[7:0]", nullptr, nullptr}},
    {0x06B, "DSRB15", {"B[7:0]", nullptr, nullptr}},
    {0x06C, "DSRB16", {"B[7:0]", nullptr, nullptr}},
    {0x06D, "DSRB17", {"B[7:0]", nullptr, nullptr}},
    {0x06E, "DSRB18", {"B[7:0]", nullptr, nullptr}},
    {0x06F, "DSRB19", {"B[7:0]", nullptr, nullptr}},
    {0x070, "DSRB20", {"B[7:0]", nullptr, nullptr}},
    {0x071, "DSRB21", {"B[7:0]", nullptr, nullptr}},
    {0x072, "DSRB22", {"B[7:0]", nullptr, nullptr}},
    {0x073, "DSRB23", {"B[7:0]", nullptr, nullptr}},
    {0x074, "DSRB24", {"B[7:0]", nullptr, nullptr}},
    {0x075, "DSRB25", {"B[7:0]", nullptr, nullptr}},
    {0x076, "DSRB26", {"B[7:0]", nullptr, nullptr}},
    {0x077, "DSRB27", {"B[7:0]", nullptr, nullptr}},
    {0x078, "DSRB28", {"B[7:0]", nullptr, nullptr}},
    {0x079, "DSRB29", {"B[7:0]", nullptr, nullptr}},
    {0x07A, "DSRB30", {"B[7:0]", nullptr, nullptr}},
    {0x07B, "DSRB31", {"B[7:0]", nullptr, nullptr}},
    {0x07C, "DSRB32", {"B[7:0]", nullptr, nullptr}},
    {0x07D, "DSRB33", {"PHASE[7:0]", nullptr, nullptr}},
    {0x07E, "DSRB34", {"PHASE[15:8]", nullptr, nullptr}},
    {0x07F, "DSRB35", {"PHASE[23:16]", nullptr, nullptr}},
    {0x080, "DSRB36", {"PHASE[31:24]", nullptr, nullptr}},
    {0x081, "DSRB37", {nullptr, nullptr, nullptr}},
    {0x082, "DSRB38", {nullptr, nullptr, nullptr}},
    {0x083, "DSRB39", {nullptr, nullptr, nullptr}},
    {0x084, "DSRB40", {nullptr, nullptr, nullptr}},
    {0x085, "DSRB41", {nullptr, nullptr, nullptr}},
    {0x086, "DSRB42", {nullptr, nullptr, nullptr}},
    {0x087, "DSRB43", {nullptr, nullptr, nullptr}},
    {0x088, "DSRB44", {nullptr, nullptr, nullptr}},
    {0x089, "DSRB45", {nullptr, nullptr, nullptr}},
    {0x08A, "DSRB46", {nullptr, nullptr, nullptr}},
    {0x08B, "DSRB47", {nullptr, nullptr, nullptr}},
    {0x08C, "DSRB48", {nullptr, nullptr, nullptr}},
    {0x08D, "DSRB49", {nullptr, nullptr, nullptr}},
    {0x08E, "DSRB50", {nullptr, nullptr, nullptr}},
    {0x08F, "DSRB51", {nullptr, nullptr, nullptr}},
    {0x090, "DSRB52", {nullptr, nullptr, nullptr}},
    {0x091, "DSRB53", {nullptr, nullptr, nullptr}},
    {0x092, "DSRB54", {nullptr, nullptr, nullptr}},
    {0x093, "DSRB55", {nullptr, nullptr, nullptr}},
    {0x094, "DSRB56", {nullptr, nullptr, nullptr}},
    {0x095, "DSRB57", {nullptr, nullptr, nullptr}},
    {0x096, "DSRB58", {nullptr, nullptr, nullptr}},
    {0x097, "DSRB59", {nullptr, nullptr, nullptr}},
    {0x098, "DSRB60", {nullptr, nullptr, nullptr}},
    {0x099, "DSRB61", {nullptr, nullptr, nullptr}},
    {0x09A, "DSRB62", {nullptr, nullptr, nullptr}},
    {0x09B, "DSRB63", {nullptr, nullptr, nullptr}},
    {0x09C, "DSRB64", {nullptr, nullptr, nullptr}},
    {0x09D, "DSRB65", {nullptr, nullptr, nullptr}},
    {0x09E, "DSRB66", {nullptr, nullptr, nullptr}},
    {0x09F, "DSRB67", {nullptr, nullptr, nullptr}},
    {0x0A0, "DSRB68", {nullptr, nullptr, nullptr}},
    {0x0A1, "DSRB69", {nullptr, nullptr, nullptr}},
    {0x0A2, "DSRB70", {nullptr, nullptr, nullptr}},
    {0x0A3, "DSRB71", {nullptr, nullptr, nullptr}},
    {0x0A4, "DSRB72", {nullptr, nullptr, nullptr}},
    {0x100, "APLLCR1", {"AIDIV[1:0] - - - ENHS2 BYPHS2 -", nullptr, nullptr}},
    {0x101, "APLLCR2", {"HSDIV2[3:0] HSDIV1[3:0]", nullptr, nullptr}},
    {0x102, "APLLCR3", {"- EXTSW ALTMUX[2:0] APLLMUX[2:0]", nullptr, nullptr}},
    {0x103, "APLLCR4", {"DECPH PDSS[2:0] INCPH PISS[2:0]", nullptr, nullptr}},
    {0x106, "AFBDIV1", {"AFBDIV[7:0]", nullptr, nullptr}},
    {0x107, "AFBDIV2", {"AFBDIV[15:8]", nullptr, nullptr}},
    {0x108, "AFBDIV3", {"AFBDIV[23:16]", nullptr, nullptr}},
    {0x109, "AFBDIV4", {"AFBDIV[31:24]", nullptr, nullptr}},
    {0x10A, "AFBDIV5", {"AFBDIV[39:32]", nullptr, nullptr}},
    {0x10B, "AFBDIV6", {"- - - - - - AFBDIV[41:40]", nullptr, nullptr}},
    {0x10C, "AFBDEN1", {"AFBDEN[7:0]", nullptr, nullptr}},
    {0x10D, "AFBDEN2", {"AFBDEN[15:8]", nullptr, nullptr}},
    {0x10E, "AFBDEN3", {"AFBDEN[23:16]", nullptr, nullptr}},
    {0x10F, "AFBDEN4", {"AFBDEN[31:24]", nullptr, nullptr}},
    {0x110, "AFBREM1", {"AFBREM[7:0]", nullptr, nullptr}},
    {0x111, "AFBREM2", {"AFBREM[15:8]", nullptr, nullptr}},
    {0x112, "AFBREM3", {"AFBREM[23:16]", nullptr, nullptr}},
    {0x113, "AFBREM4", {"AFBREM[31:24]", nullptr, nullptr}},
    {0x114, "AFBBP", {"AFBBP[7:0]", nullptr, nullptr}},
    {0x120, "DCO1", {nullptr, nullptr, nullptr}},
    {0x121, "DCO2", {nullptr, nullptr, nullptr}},
    {0x122, "DCO3", {nullptr, nullptr, nullptr}},
    {0x123, "ALTPLL1", {nullptr, nullptr, nullptr}},
    {0x124, "ALTPLL2", {nullptr, nullptr, nullptr}},
    {0x125, "PLLTCR5", {nullptr, nullptr, nullptr}},
    {0x126, "PLLTCR6", {nullptr, nullptr, nullptr}},
    {0x127, "PLLTCR7", {nullptr, nullptr, nullptr}},
    {0x128, "PLLTCR8", {nullptr, nullptr, nullptr}},
    {0x129, "PLLTCR9", {nullptr, nullptr, nullptr}},
    {0x12A, "PLLTCR10", {nullptr, nullptr, nullptr}},
    {0x12B, "PLLTCR11", {nullptr, nullptr, nullptr}},
    {0x12C, "PLLTCR12", {nullptr, nullptr, nullptr}},
    {0x200, "OC1CR1", {"PHEN MSDIV[6:0]", nullptr, nullptr}},
    {0x201, "OC1CR2", {"ASQUEL POL DRIVE[1:0] STOPDIS OCSF[2:0]", nullptr, nullptr}},
    {0x202, "OC1CR3", {"SRLSEN DIVSEL NEGLSD LSSEL - - - LSDIV[24]", nullptr, nullptr}},
    {0x203, "OC1DIV1", {"LSDIV[7:0]", nullptr, nullptr}},
    {0x204, "OC1DIV2", {"LSDIV[15:8]", nullptr, nullptr}},
    {0x205, "OC1DIV3", {"LSDIV[23:16]", nullptr, nullptr}},
    {0x206, "OC1DC", {"OCDC[7:0]", nullptr, nullptr}},
    {0x207, "OC1PH", {"PHADJ[7:0]", nullptr, nullptr}},
    {0x208, "OC1STOP", {"STOP - SRC[3:0] MODE[1:0]", nullptr, nullptr}},
    {0x210, "OC2CR1", {"PHEN MSDIV[6:0]", nullptr, nullptr}},
    {0x211, "OC2CR2", {"ASQUEL POL DRIVE[1:0] STOPDIS OCSF[2:0]", nullptr, nullptr}},
    {0x212, "OC2CR3", {"SRLSEN DIVSEL NEGLSD LSSEL - - - LSDIV[24]", nullptr, nullptr}},
    {0x213, "OC2DIV1", {"LSDIV[7:0]", nullptr, nullptr}},
    {0x214, "OC2DIV2", {"LSDIV[15:8]", nullptr, nullptr}},
    {0x215, "OC2DIV3", {"LSDIV[23:16]", nullptr, nullptr}},
    {0x216, "OC2DC", {"OCDC[7:0]", nullptr, nullptr}},
    {0x217, "OC2PH", {"PHADJ[7:0]", nullptr, nullptr}},
    {0x218, "OC2STOP", {"STOP - SRC[3:0] MODE[1:0]", nullptr, nullptr}},
    {0x220, "OC3CR1", {"PHEN MSDIV[6:0]", nullptr, nullptr}},
    {0x221, "OC3CR2", {"ASQUEL POL DRIVE[1:0] STOPDIS OCSF[2:0]", nullptr, nullptr}},
    {0x222, "OC3CR3", {"SRLSEN DIVSEL NEGLSD LSSEL - - - LSDIV[24]", nullptr, nullptr}},
    {0x223, "OC3DIV1", {"LSDIV[7:0]", nullptr, nullptr}},
    {0x224, "OC3DIV2", {"LSDIV[15:8]", nullptr, nullptr}},
    {0x225, "OC3DIV3", {"LSDIV[23:16]", nullptr, nullptr}},
    {0x226, "OC3DC", {"OCDC[7:0]", nullptr, nullptr}},
    {0x227, "OC3PH", {"PHADJ[7:0]", nullptr, nullptr}},
    {0x228, "OC3STOP", {"STOP - SRC[3:0] MODE[1:0]", nullptr, nullptr}},
    {0x300, "IC1CR1", {"- POL - - - - HSDIV[1:0]", nullptr, nullptr}},
    {0x301, "IC1CR2", {"DIV[7:0]", nullptr, nullptr}},
    {0x302, "IC1CR3", {"DIV[15:8]", nullptr, nullptr}},
    {0x303, "IC1CR4", {"- - - - DIV[19:16]", nullptr, nullptr}},
    {0x310, "MON1CR1", {"MONDIV[3:0] - VALTIME[2:0]", nullptr, nullptr}},
    {0x311, "MON1CR2", {"- LOSSS[2:0] - SCEN PCEN PPEN", nullptr, nullptr}},
    {0x312, "MON1CR3", {"- - PCN[8] - SCGAP - SCC[17:16]", nullptr, nullptr}},
    {0x313, "MON1CR4", {"SCC[7:0]", nullptr, nullptr}},
    {0x314, "MON1CR5", {"SCC[15:8]", nullptr, nullptr}},
    {0x315, "MON1CR6", {"PCD[7:0]", nullptr, nullptr}},
    {0x316, "MON1CR7", {"PCN[7:0]", nullptr, nullptr}},
    {0x317, "MON1CR8", {"PCT[7:0]", nullptr, nullptr}},
    {0x318, "MON1CR9", {"PCT[15:8]", nullptr, nullptr}},
    {0x319, "MON1CR10", {"JTRTOL - PPLT[8] - PPHT[8] - PPD[9:8]", nullptr, nullptr}},
    {0x31A, "MON1CR11", {"PPD[7:0]", nullptr, nullptr}},
    {0x31B, "MON1CR12", {"PPHT[7:0]", nullptr, nullptr}},
    {0x31C, "MON1CR13", {"PPLT[7:0]", nullptr, nullptr}},
    {0x320, "IC2CR1", {"- POL - - - - HSDIV[1:0]", nullptr, nullptr}},
    {0x321, "IC2CR2", {"DIV[7:0]", nullptr, nullptr}},
    {0x322, "IC2CR3", {"DIV[15:8]", nullptr, nullptr}},
    {0x323, "IC2CR4", {"- - - - DIV[19:16]", nullptr, nullptr}},
    {0x330, "MON2CR1", {"MONDIV[3:0] - VALTIME[2:0]", nullptr, nullptr}},
    {0x331, "MON2CR2", {"- LOSSS[2:0] - SCEN PCEN PPEN", nullptr, nullptr}},
    {0x332, "MON2CR3", {"- - PCN[8] - SCGAP - SCC[17:16]", nullptr, nullptr}},
    {0x333, "MON2CR4", {"SCC[7:0]", nullptr, nullptr}},
    {0x334, "MON2CR5", {"SCC[15:8]", nullptr, nullptr}},
    {0x335, "MON2CR6", {"PCD[7:0]", nullptr, nullptr}},
    {0x336, "MON2CR7", {"PCN[7:0]", nullptr, nullptr}},
    {0x337, "MON2CR8", {"PCT[7:0]", nullptr, nullptr}},
    {0x338, "MON2CR9", {"PCT[15:8]", nullptr, nullptr}},
    {0x339, "MON2CR10", {"JTRTOL - PPLT[8] - PPHT[8] - PPD[9:8]", nullptr, nullptr}},
    {0x33A, "MON2CR11", {"PPD[7:0]", nullptr, nullptr}},
    {0x33B, "MON2CR12", {"PPHT[7:0]", nullptr, nullptr}},
    {0x33C, "MON2CR13", {"PPLT[7:0]", nullptr, nullptr}},
    {0x340, "IC3CR1", {"- POL - - - - HSDIV[1:0]", nullptr, nullptr}},
    {0x341, "IC3CR2", {"DIV[7:0]", nullptr, nullptr}},
    {0x342, "IC3CR3", {"DIV[15:8]", nullptr, nullptr}},
    {0x343, "IC3CR4", {"- - - - DIV[19:16]", nullptr, nullptr}},
    {0x350, "MON3CR1", {"MONDIV[3:0] - VALTIME[2:0]", nullptr, nullptr}},
    {0x351, "MON3CR2", {"- LOSSS[2:0] - SCEN PCEN PPEN", nullptr, nullptr}},
    {0x352, "MON3CR3", {"- - PCN[8] - SCGAP - SCC[17:16]", nullptr, nullptr}},
    {0x353, "MON3CR4", {"SCC[7:0]", nullptr, nullptr}},
    {0x354, "MON3CR5", {"SCC[15:8]", nullptr, nullptr}},
    {0x355, "MON3CR6", {"PCD[7:0]", nullptr, nullptr}},
    {0x356, "MON3CR7", {"PCN[7:0]", nullptr, nullptr}},
    {0x357, "MON3CR8", {"PCT[7:0]", nullptr, nullptr}},
    {0x358, "MON3CR9", {"PCT[15:8]", nullptr, nullptr}},
    {0x359, "MON3CR10", {"JTRTOL - PPLT[8] - PPHT[8] - PPD[9:8]", nullptr, nullptr}},
    {0x35A, "MON3CR11", {"PPD[7:0]", nullptr, nullptr}},
    {0x35B, "MON3CR12", {"PPHT[7:0]", nullptr, nullptr}},
    {0x35C, "MON3CR13", {"PPLT[7:0]", nullptr, nullptr}},
    {0x400, "ICSCR1", {"EXTSW REVERT - FBSEL[1:0] - ICSEL[1:0]", nullptr, nullptr}},
    {0x401, "VALCR1", {"- - - - - IC3 IC2 IC1", nullptr, nullptr}},
    {0x402, "IPR1", {"- - PRI2[1:0] - - PRI1[1:0]", nullptr, nullptr}},
    {0x403, "IPR2", {"- - - - - - PRI3[1:0]", nullptr, nullptr}},
    {0x404, "PHLKTO", {"PHLKTOM[1:0] PHLKTO[5:0]", nullptr, nullptr}},
    {0x405, "LKATO", {"LKATOM[1:0] LKATO[5:0]", nullptr, nullptr}},
    {0x406, "DFBSCL1", {"FBSCALE[7:0]", nullptr, nullptr}},
    {0x407, "DFBSCL2", {"FBSCALE[15:8]", nullptr, nullptr}},
    {0x408, "DFBDIV1", {"FBDIV[7:0]", nullptr, nullptr}},
    {0x409, "DFBDIV2", {"FBDIV[15:8]", nullptr, nullptr}},
    {0x40A, "DFBDIV3", {"- - - - - FBDIV[18:16]", nullptr, nullptr}},
    {0x40B, "DPLLCR1", {"- - HOMODE[1:0] MODE[3:0]", nullptr, nullptr}},  // as packed: 5..4, 3..0
    {0x40C, "DPLLCR2", {"CRB8 CRB7 CRB6 CRB5 CRB4 CRB3 CRB2 CRB1", nullptr, nullptr}},
    {0x40D, "DPLLCR3", {"CRB16 CRB15 CRB14 CRB13 CRB12 CRB11 CRB10 CRB9", nullptr, nullptr}},
    {0x40E, "DALGWR", {"ADWR[7:0]", nullptr, nullptr}},
    {0x40F, "DALGRD", {"ADRD[7:0]", nullptr, nullptr}},
    {0x410, "DPCNT1", {"PFDCNT[7:0]", nullptr, nullptr}},
    {0x411, "DPCNT2", {"- - PFDCNT[13:8]", nullptr, nullptr}},
    {0x420, "DFREQZ1", {"FREQZ[7:0]", nullptr, nullptr}},
    {0x421, "DFREQZ2", {"FREQZ[15:8]", nullptr, nullptr}},
    {0x422, "DFREQZ3", {"FREQZ[23:16]", nullptr, nullptr}},
    {0x423, "DFREQZ4", {"FREQZ[31:24]", nullptr, nullptr}},
    {0x424, "DFREQZ5", {"FREQZ[39:32]", nullptr, nullptr}},
    {0x425, "DCRB6", {"B[7:0]", nullptr, nullptr}},
    {0x426, "DCRB7", {"B[7:0]", nullptr, nullptr}},
    {0x427, "DCRB8", {"B[7:0]", nullptr, nullptr}},
    {0x428, "DPHOFF1", {"PHOFF[7:0]", nullptr, nullptr}},
    {0x429, "DPHOFF2", {"PHOFF[15:8]", nullptr, nullptr}},
    {0x42A, "DPHOFF3", {"PHOFF[23:16]", nullptr, nullptr}},
    {0x42B, "DPHOFF4", {"PHOFF[31:24]", nullptr, nullptr}},
    {0x42C, "DSSCNT1", {"SSCNT[7:0]", nullptr, nullptr}},
    {0x42D, "DSSCNT2", {"- - - - SSCNT[11:8]", nullptr, nullptr}},
    {0x42E, "DCRB15", {"B[7:0]", nullptr, nullptr}},
    {0x42F, "DCRB16", {"B[7:0]", nullptr, nullptr}},
    {0x430, "DSSDEC1", {"DECINC[7:0]", nullptr, nullptr}},
    {0x431, "DSSDEC2", {"DECINC[15:8]", nullptr, nullptr}},
    {0x432, "DCRB19", {"- - - - DECINC[19:16]", nullptr, nullptr}},
    {0x433, "DCRB20", {nullptr, nullptr, nullptr}},
    {0x434, "DCRB21", {nullptr, nullptr, nullptr}},
    {0x435, "DCRB22", {nullptr, nullptr, nullptr}},
    {0x436, "DCRB23", {nullptr, nullptr, nullptr}},
    {0x437, "DCRB24", {nullptr, nullptr, nullptr}},
    {0x438, "DCRB25", {nullptr, nullptr, nullptr}},
    {0x439, "DCRB26", {nullptr, nullptr, nullptr}},
    {0x43A, "DCRB27", {nullptr, nullptr, nullptr}},
    {0x43B, "DCRB28", {nullptr, nullptr, nullptr}},
    {0x43C, "DCRB29", {nullptr, nullptr, nullptr}},
    {0x43D, "DCRB30", {nullptr, nullptr, nullptr}},
    {0x43E, "DCRB31", {nullptr, nullptr, nullptr}},
    {0x43F, "DCRB32", {nullptr, nullptr, nullptr}},
    {0x440, "DCRB33", {nullptr, nullptr, nullptr}},
    {0x441, "DCRB34", {nullptr, nullptr, nullptr}},
    {0x442, "DCRB35", {nullptr, nullptr, nullptr}},
    {0x443, "DCRB36", {nullptr, nullptr, nullptr}},
    {0x444, "DCRB37", {nullptr, nullptr, nullptr}},
    {0x445, "DCRB38", {nullptr, nullptr, nullptr}},
    {0x446, "DCRB39", {nullptr, nullptr, nullptr}},
    {0x447, "DCRB40", {nullptr, nullptr, nullptr}},
    {0x448, "DCRB41", {nullptr, nullptr, nullptr}},
    {0x449, "DCRB42", {nullptr, nullptr, nullptr}},
    {0x44A, "DCRB43", {nullptr, nullptr, nullptr}},
    {0x44B, "DCRB44", {nullptr, nullptr, nullptr}},
    {0x44C, "DCRB45", {nullptr, nullptr, nullptr}},
    {0x44D, "DCRB46", {nullptr, nullptr, nullptr}},
    {0x44E, "DCRB47", {nullptr, nullptr, nullptr}},
    {0x44F, "DCRB48", {nullptr, nullptr, nullptr}},
    {0x450, "DCRB49", {nullptr, nullptr, nullptr}},
    {0x451, "DCRB50", {nullptr, nullptr, nullptr}},
    {0x452, "DCRB51", {nullptr, nullptr, nullptr}},
    {0x453, "DCRB52", {nullptr, nullptr, nullptr}},
    {0x454, "DCRB53", {nullptr, nullptr, nullptr}},
    {0x455, "DCRB54", {nullptr, nullptr, nullptr}},
    {0x456, "DCRB55", {nullptr, nullptr, nullptr}},
    {0x457, "DCRB56", {nullptr, nullptr, nullptr}},
    {0x458, "DCRB57", {nullptr, nullptr, nullptr}},
    {0x459, "DCRB58", {nullptr, nullptr, nullptr}},
    {0x45A, "DCRB59", {nullptr, nullptr, nullptr}},
    {0x45B, "DCRB60", {nullptr, nullptr, nullptr}},
    {0x45C, "DCRB61", {nullptr, nullptr, nullptr}},
    {0x45D, "DCRB62", {nullptr, nullptr, nullptr}},
    {0x45E, "DCRB63", {nullptr, nullptr, nullptr}},
    {0x45F, "DCRB64", {nullptr, nullptr, nullptr}},
    {0x460, "DCRB65", {nullptr, nullptr, nullptr}},
    {0x461, "DCRB66", {nullptr, nullptr, nullptr}},
    {0x462, "DCRB67", {nullptr, nullptr, nullptr}},
    {0x463, "DCRB68", {nullptr, nullptr, nullptr}},
    {0x464, "DCRB69", {nullptr, nullptr, nullptr}},
    {0x465, "DCRB70", {nullptr, nullptr, nullptr}},
    {0x466, "DCRB71", {nullptr, nullptr, nullptr}},
    {0x467, "DCRB72", {nullptr, nullptr, nullptr}},
    {0x600, "TST_RST", {"- - - DCOCAPT DSP PFDDCO DLLPSAMP GENERAL", nullptr, nullptr}},
    {0x601, "GTEST3", {"BOOTREAD DIS_BC_DONE INTST GPIOSDO - - - LASTADDR", nullptr, nullptr}},
    {0x602, "TST_CLK", {"- - - - - - ASYNC_UPIF SPCL_DBL", nullptr, nullptr}},
    {0x603, "D1PFD", {"- - - - - - PFDTODIS PFDTOL", nullptr, nullptr}},
    {0x604, "DPLL1GPIO", {"TPM1[7:4] TPM0[3:0]", nullptr, nullptr}},
    {0x605, "DPLL2GPIO", {"TPM3[7:4] TPM2[3:0]", nullptr, nullptr}},
    {0x606, "DCO1GPIO", {"TPM1[7:4] TPM0[3:0]", nullptr, nullptr}},
    {0x607, "DCO2GPIO", {"TPM3[7:4] TPM2[3:0]", nullptr, nullptr}},
    {0x608, "UP1GPIO", {"TPM1[7:4] TPM0[3:0]", nullptr, nullptr}},
    {0x609, "UP2GPIO", {"TPM3[7:4] TPM2[3:0]", nullptr, nullptr}},
    {0x60A, "GLB1GPIO", {"TPM1[7:4] TPM0[3:0]", nullptr, nullptr}},
    {0x60B, "GLB2GPIO", {"TPM3[7:4] TPM2[3:0]", nullptr, nullptr}},
    {0x60C, "TST3GPIO", {"BLK_EN[7:0]", nullptr, nullptr}},
    {0x60D, "TST4GPIO", {"BLK_EN[7:0]", nullptr, nullptr}},
    {0x60E, "HWTST1", {"MODE[7:0]", nullptr, nullptr}},
    {0x60F, "HWTST2", {"MODE[7:0]", nullptr, nullptr}},
    {0x610, "AFREQ1", {"FREQSEL[7:0]", nullptr, nullptr}},
    {0x611, "PSJAC1", {"- - - - BYP FRC PRC[1:0]", nullptr, nullptr}},
    {0x612, "PSJAC3", {"DLY_IN[7:0]", nullptr, nullptr}},
    {0x613, "PSJAS1", {"- - - - - - LOLR CHGR", nullptr, nullptr}},
    {0x614, "PSJAS2", {"- - - - - - LOLL CHGL", nullptr, nullptr}},
    {0x615, "PSJAS3", {"DLY_OUT[7:0]", nullptr, nullptr}},
    {0x616, "ASR1", {nullptr, nullptr, nullptr}},
    {0x617, "ALSR1", {nullptr, nullptr, nullptr}},
    {0x618, "AIER1", {nullptr, nullptr, nullptr}},
    {0x619, "TRAN1", {nullptr, nullptr, nullptr}},
    {0x61A, "TRAN2", {nullptr, nullptr, nullptr}},
    {0x61B, "TRAN3", {nullptr, nullptr, nullptr}},
    {0x61C, "PLLTCR13", {nullptr, nullptr, nullptr}},
    {0x61D, "PLLTCR14", {nullptr, nullptr, nullptr}},
    {0x61E, "PLLTCR15", {nullptr, nullptr, nullptr}},
    {0x61F, "PLLTCR16", {nullptr, nullptr, nullptr}},
    {0x620, "PLLTCR17", {nullptr, nullptr, nullptr}},
    {0x621, "PLLTCR18", {nullptr, nullptr, nullptr}},
    {0x622, "TST1CR1", {nullptr, nullptr, nullptr}},
    {0x623, "TST2CR1", {nullptr, nullptr, nullptr}},
    {0x624, "TST3CR1", {nullptr, nullptr, nullptr}},
    {0x625, "TST_FB", {nullptr, nullptr, nullptr}},
    {0x626, "TST_IC", {nullptr, nullptr, nullptr}},
    {0x627, "IC1TSR", {nullptr, nullptr, nullptr}},
    {0x628, "IC2TSR", {nullptr, nullptr, nullptr}},
    {0x629, "IC3TSR", {nullptr, nullptr, nullptr}},
    {0x62A, "OC1TCR", {nullptr, nullptr, nullptr}},
    {0x62B, "OC2TCR", {nullptr, nullptr, nullptr}},
    {0x62C, "OC3TCR", {nullptr, nullptr, nullptr}},
    {0x62D, "XO_TEST", {nullptr, nullptr, nullptr}},
    {0x62E, "REF_IO", {nullptr, nullptr, nullptr}},
    {0x630, "TCCR1", {nullptr, nullptr, nullptr}},
    {0x631, "TCCR2", {nullptr, nullptr, nullptr}},
    {0x632, "TCCR3", {nullptr, nullptr, nullptr}},
    {0x633, "Test_633", {nullptr, nullptr, nullptr}},
    {0x634, "Test_634", {nullptr, nullptr, nullptr}},
    {0x635, "Test_635", {nullptr, nullptr, nullptr}},
    {0x636, "Test_636", {nullptr, nullptr, nullptr}},
    {0x637, "Test_637", {nullptr, nullptr, nullptr}},
    {0x638, "Test_638", {nullptr, nullptr, nullptr}},
    {0x639, "Test_639", {nullptr, nullptr, nullptr}},
    {0x63A, "Test_63A", {nullptr, nullptr, nullptr}},
    {0x63B, "Test_63B", {nullptr, nullptr, nullptr}},
    {0x63C, "Test_63C", {nullptr, nullptr, nullptr}},
    {0x63D, "Test_63D", {nullptr, nullptr, nullptr}},
    {0x63E, "Test_63E", {nullptr, nullptr, nullptr}},
    {0x63F, "Test_63F", {nullptr, nullptr, nullptr}},
    {0x640, "Test_640", {nullptr, nullptr, nullptr}},
    {0x641, "Test_641", {nullptr, nullptr, nullptr}},
    {0x642, "Test_642", {nullptr, nullptr, nullptr}},
    {0x643, "Test_643", {nullptr, nullptr, nullptr}},
    {0x644, "Test_644", {nullptr, nullptr, nullptr}},
    {0x645, "Test_645", {nullptr, nullptr, nullptr}},
    {0x646, "Test_646", {nullptr, nullptr, nullptr}},
    {0x647, "Test_647", {nullptr, nullptr, nullptr}},
    {0x648, "Test_648", {nullptr, nullptr, nullptr}},
    {0x649, "Test_649", {nullptr, nullptr, nullptr}},
    {0x64A, "Test_64A", {nullptr, nullptr, nullptr}},
    {0x64B, "Test_64B", {nullptr, nullptr, nullptr}},
    {0x64C, "Test_64C", {nullptr, nullptr, nullptr}},
    {0x64D, "Test_64D", {nullptr, nullptr, nullptr}},
    {0x64E, "Test_64E", {nullptr, nullptr, nullptr}},
    {0x64F, "Test_64F", {nullptr, nullptr, nullptr}},
    {0x650, "Test_650", {nullptr, nullptr, nullptr}},
    {0x651, "Test_651", {nullptr, nullptr, nullptr}},
    {0x652, "Test_652", {nullptr, nullptr, nullptr}},
    {0x653, "Test_653", {nullptr, nullptr, nullptr}},
    {0x654, "Test_654", {nullptr, nullptr, nullptr}},
    {0x655, "Test_655", {nullptr, nullptr, nullptr}},
    {0x656, "Test_656", {nullptr, nullptr, nullptr}},
    {0x657, "Test_657", {nullptr, nullptr, nullptr}},
    {0x658, "Test_658", {nullptr, nullptr, nullptr}},
    {0x659, "Test_659", {nullptr, nullptr, nullptr}},
    {0x65A, "Test_65A", {nullptr, nullptr, nullptr}},
    {0x65B, "Test_65B", {nullptr, nullptr, nullptr}},
    {0x65C, "Test_65C", {nullptr, nullptr, nullptr}},
    {0x65D, "Test_65D", {nullptr, nullptr, nullptr}},
    {0x65E, "Test_65E", {nullptr, nullptr, nullptr}},
    {0x65F, "Test_65F", {nullptr, nullptr, nullptr}},
    {0x660, "Test_660", {nullptr, nullptr, nullptr}},
    {0x661, "Test_661", {nullptr, nullptr, nullptr}},
    {0x662, "Test_662", {nullptr, nullptr, nullptr}},
    {0x663, "Test_663", {nullptr, nullptr, nullptr}},
    {0x664, "Test_664", {nullptr, nullptr, nullptr}},
    {0x665, "Test_665", {nullptr, nullptr, nullptr}},
    {0x666, "Test_666", {nullptr, nullptr, nullptr}},
    {0x667, "Test_667", {nullptr, nullptr, nullptr}},
    {0x668, "Test_668", {nullptr, nullptr, nullptr}},
    {0x669, "Test_669", {nullptr, nullptr, nullptr}},
    {0x66A, "Test_66A", {nullptr, nullptr, nullptr}},
    {0x66B, "Test_66B", {nullptr, nullptr, nullptr}},
    {0x66C, "Test_66C", {nullptr, nullptr, nullptr}},
    {0x66D, "Test_66D", {nullptr, nullptr, nullptr}},
    {0x66E, "Test_66E", {nullptr, nullptr, nullptr}},
    {0x66F, "Test_66F", {nullptr, nullptr, nullptr}},
    {0x670, "Test_670", {nullptr, nullptr, nullptr}},
    {0x671, "Test_671", {nullptr, nullptr, nullptr}},
    {0x672, "Test_672", {nullptr, nullptr, nullptr}},
    {0x673, "Test_673", {nullptr, nullptr, nullptr}},
    {0x674, "Test_674", {nullptr, nullptr, nullptr}},
    {0x675, "Test_675", {nullptr, nullptr, nullptr}},
    {0x676, "Test_676", {nullptr, nullptr, nullptr}},
    {0x677, "Test_677", {nullptr, nullptr, nullptr}},
    {0x678, "Test_678", {nullptr, nullptr, nullptr}},
    {0x679, "Test_679", {nullptr, nullptr, nullptr}},
    {0x67A, "Test_67A", {nullptr, nullptr, nullptr}},
    {0x67B, "Test_67B", {nullptr, nullptr, nullptr}},
    {0x67C, "Test_67C", {nullptr, nullptr, nullptr}},
    {0x67D, "Test_67D", {nullptr, nullptr, nullptr}},
    {0x67E, "Test_67E", {nullptr, nullptr, nullptr}},
    {0x67F, "Test_67F", {nullptr, nullptr, nullptr}},
    {0x680, "Test_680", {nullptr, nullptr, nullptr}},
    {0x681, "Test_681", {nullptr, nullptr, nullptr}},
    {0x682, "Test_682", {nullptr, nullptr, nullptr}},
    {0x683, "Test_683", {nullptr, nullptr, nullptr}},
    {0x684, "Test_684", {nullptr, nullptr, nullptr}},
    {0x685, "Test_685", {nullptr, nullptr, nullptr}},
    {0x686, "Test_686", {nullptr, nullptr, nullptr}},
    {0x687, "Test_687", {nullptr, nullptr, nullptr}},
    {0x688, "Test_688", {nullptr, nullptr, nullptr}},
    {0x689, "Test_689", {nullptr, nullptr, nullptr}},
    {0x68A, "Test_68A", {nullptr, nullptr, nullptr}},
    {0x68B, "Test_68B", {nullptr, nullptr, nullptr}},
    {0x68C, "Test_68C", {nullptr, nullptr, nullptr}},
    {0x68D, "Test_68D", {nullptr, nullptr, nullptr}},
    {0x68E, "Test_68E", {nullptr, nullptr, nullptr}},
    {0x68F, "Test_68F", {nullptr, nullptr, nullptr}},
    {0x690, "Test_690", {nullptr, nullptr, nullptr}},
    {0x691, "Test_691", {nullptr, nullptr, nullptr}},
    {0x692, "Test_692", {nullptr, nullptr, nullptr}},
    {0x693, "Test_693", {nullptr, nullptr, nullptr}},
    {0x694, "Test_694", {nullptr, nullptr, nullptr}},
    {0x695, "Test_695", {nullptr, nullptr, nullptr}},
    {0x696, "Test_696", {nullptr, nullptr, nullptr}},
    {0x697, "Test_697", {nullptr, nullptr, nullptr}},
    {0x698, "Test_698", {nullptr, nullptr, nullptr}},
    {0x699, "Test_699", {nullptr, nullptr, nullptr}},
    {0x69A, "Test_69A", {nullptr, nullptr, nullptr}},
    {0x69B, "Test_69B", {nullptr, nullptr, nullptr}},
    {0x69C, "Test_69C", {nullptr, nullptr, nullptr}},
    {0x69D, "Test_69D", {nullptr, nullptr, nullptr}},
    {0x69E, "Test_69E", {nullptr, nullptr, nullptr}},
    {0x69F, "Test_69F", {nullptr, nullptr, nullptr}},
    {0x6A0, "Test_6A0", {nullptr, nullptr, nullptr}},
    {0x6A1, "Test_6A1", {nullptr, nullptr, nullptr}},
    {0x6A2, "Test_6A2", {nullptr, nullptr, nullptr}},
    {0x6A3, "Test_6A3", {nullptr, nullptr, nullptr}},
    {0x6A4, "Test_6A4", {nullptr, nullptr, nullptr}},
    {0x6A5, "Test_6A5", {nullptr, nullptr, nullptr}},
    {0x6A6, "Test_6A6", {nullptr, nullptr, nullptr}},
    {0x6A7, "Test_6A7", {nullptr, nullptr, nullptr}},
    {0x6A8, "Test_6A8", {nullptr, nullptr, nullptr}},
    {0x6A9, "Test_6A9", {nullptr, nullptr, nullptr}},
    {0x6AA, "Test_6AA", {nullptr, nullptr, nullptr}},
    {0x6AB, "Test_6AB", {nullptr, nullptr, nullptr}},
    {0x6AC, "Test_6AC", {nullptr, nullptr, nullptr}},
    {0x6AD, "Test_6AD", {nullptr, nullptr, nullptr}},
    {0x6AE, "Test_6AE", {nullptr, nullptr, nullptr}},
    {0x6AF, "Test_6AF", {nullptr, nullptr, nullptr}},
    {0x6B0, "Test_6B0", {nullptr, nullptr, nullptr}},
    {0x6B1, "Test_6B1", {nullptr, nullptr, nullptr}},
    {0x6B2, "Test_6B2", {nullptr, nullptr, nullptr}},
    {0x6B3, "Test_6B3", {nullptr, nullptr, nullptr}},
    {0x6B4, "Test_6B4", {nullptr, nullptr, nullptr}},
    {0x6B5, "Test_6B5", {nullptr, nullptr, nullptr}},
    {0x6B6, "Test_6B6", {nullptr, nullptr, nullptr}},
    {0x6B7, "Test_6B7", {nullptr, nullptr, nullptr}},
    {0x6B8, "Test_6B8", {nullptr, nullptr, nullptr}},
    {0x6B9, "Test_6B9", {nullptr, nullptr, nullptr}},
    {0x6BA, "Test_6BA", {nullptr, nullptr, nullptr}},
    {0x6BB, "Test_6BB", {nullptr, nullptr, nullptr}},
    {0x6BC, "Test_6BC", {nullptr, nullptr, nullptr}},
    {0x6BD, "Test_6BD", {nullptr, nullptr, nullptr}},
    {0x6BE, "Test_6BE", {nullptr, nullptr, nullptr}},
    {0x6BF, "Test_6BF", {nullptr, nullptr, nullptr}},
    {0x6C0, "Test_6C0", {nullptr, nullptr, nullptr}},
    {0x6C1, "Test_6C1", {nullptr, nullptr, nullptr}},
    {0x6C2, "Test_6C2", {nullptr, nullptr, nullptr}},
    {0x6C3, "Test_6C3", {nullptr, nullptr, nullptr}},
    {0x6C4, "Test_6C4", {nullptr, nullptr, nullptr}},
    {0x6C5, "Test_6C5", {nullptr, nullptr, nullptr}},
    {0x6C6, "Test_6C6", {nullptr, nullptr, nullptr}},
    {0x6C7, "Test_6C7", {nullptr, nullptr, nullptr}},
    {0x6C8, "Test_6C8", {nullptr, nullptr, nullptr}},
    {0x6C9, "Test_6C9", {nullptr, nullptr, nullptr}},
    {0x6CA, "Test_6CA", {nullptr, nullptr, nullptr}},
    {0x6CB, "Test_6CB", {nullptr, nullptr, nullptr}},
    {0x6CC, "Test_6CC", {nullptr, nullptr, nullptr}},
    {0x6CD, "Test_6CD", {nullptr, nullptr, nullptr}},
    {0x6CE, "Test_6CE", {nullptr, nullptr, nullptr}},
    {0x6CF, "Test_6CF", {nullptr, nullptr, nullptr}},
    {0x6D0, "Test_6D0", {nullptr, nullptr, nullptr}},
    {0x6D1, "Test_6D1", {nullptr, nullptr, nullptr}},
    {0x6D2, "Test_6D2", {nullptr, nullptr, nullptr}},
    {0x6D3, "Test_6D3", {nullptr, nullptr, nullptr}},
    {0x6D4, "Test_6D4", {nullptr, nullptr, nullptr}},
    {0x6D5, "Test_6D5", {nullptr, nullptr, nullptr}},
    {0x6D6, "Test_6D6", {nullptr, nullptr, nullptr}},
    {0x6D7, "Test_6D7", {nullptr, nullptr, nullptr}},
    {0x6D8, "Test_6D8", {nullptr, nullptr, nullptr}},
    {0x6D9, "Test_6D9", {nullptr, nullptr, nullptr}},
    {0x6DA, "Test_6DA", {nullptr, nullptr, nullptr}},
    {0x6DB, "Test_6DB", {nullptr, nullptr, nullptr}},
    {0x6DC, "Test_6DC", {nullptr, nullptr, nullptr}},
    {0x6DD, "Test_6DD", {nullptr, nullptr, nullptr}},
    {0x6DE, "Test_6DE", {nullptr, nullptr, nullptr}},
    {0x6DF, "Test_6DF", {nullptr, nullptr, nullptr}},
    {0x6E0, "Test_6E0", {nullptr, nullptr, nullptr}},
    {0x6E1, "Test_6E1", {nullptr, nullptr, nullptr}},
    {0x6E2, "Test_6E2", {nullptr, nullptr, nullptr}},
    {0x6E3, "Test_6E3", {nullptr, nullptr, nullptr}},
    {0x6E4, "Test_6E4", {nullptr, nullptr, nullptr}},
    {0x6E5, "Test_6E5", {nullptr, nullptr, nullptr}},
    {0x6E6, "Test_6E6", {nullptr, nullptr, nullptr}},
    {0x6E7, "Test_6E7", {nullptr, nullptr, nullptr}},
    {0x6E8, "Test_6E8", {nullptr, nullptr, nullptr}},
    {0x6E9, "Test_6E9", {nullptr, nullptr, nullptr}},
    {0x6EA, "Test_6EA", {nullptr, nullptr, nullptr}},
    {0x6EB, "Test_6EB", {nullptr, nullptr, nullptr}},
    {0x6EC, "Test_6EC", {nullptr, nullptr, nullptr}},
    {0x6ED, "Test_6ED", {nullptr, nullptr, nullptr}},
    {0x6EE, "Test_6EE", {nullptr, nullptr, nullptr}},
    {0x6EF, "Test_6EF", {nullptr, nullptr, nullptr}},
    {0x6F0, "Test_6F0", {nullptr, nullptr, nullptr}},
    {0x6F1, "Test_6F1", {nullptr, nullptr, nullptr}},
    {0x6F2, "Test_6F2", {nullptr, nullptr, nullptr}},
    {0x6F3, "Test_6F3", {nullptr, nullptr, nullptr}},
    {0x6F4, "Test_6F4", {nullptr, nullptr, nullptr}},
    {0x6F5, "Test_6F5", {nullptr, nullptr, nullptr}},
    {0x6F6, "Test_6F6", {nullptr, nullptr, nullptr}},
    {0x6F7, "Test_6F7", {nullptr, nullptr, nullptr}},
    {0x6F8, "Test_6F8", {nullptr, nullptr, nullptr}},
    {0x6F9, "Test_6F9", {nullptr, nullptr, nullptr}},
    {0x6FA, "Test_6FA", {nullptr, nullptr, nullptr}},
    {0x6FB, "Test_6FB", {nullptr, nullptr, nullptr}},
    {0x6FC, "Test_6FC", {nullptr, nullptr, nullptr}},
    {0x6FD, "Test_6FD", {nullptr, nullptr, nullptr}},
    {0x6FE, "Test_6FE", {nullptr, nullptr, nullptr}},
    {0x6FF, "Test_6FF", {nullptr, nullptr, nullptr}},
};
const size_t kova_reg_row_count = sizeof(kova_reg_rows) / sizeof(kova_reg_rows[0]);

// Addresses 0x000 to 0x7FF that hold no register (the chip's registers end at 0x6FF).
const kova_reg_range_s kova_reg_gaps[] = {
    {0x010, 0x011}, {0x016, 0x019}, {0x020, 0x02F}, {0x034, 0x03F}, {0x0A5, 0x0FF}, {0x104, 0x105},
    {0x115, 0x11F}, {0x12D, 0x1FF}, {0x209, 0x20F}, {0x219, 0x21F}, {0x229, 0x2FF}, {0x304, 0x30F},
    {0x31D, 0x31F}, {0x324, 0x32F}, {0x33D, 0x33F}, {0x344, 0x34F}, {0x35D, 0x3FF}, {0x412, 0x41F},
    {0x468, 0x5FF}, {0x62F, 0x62F}, {0x700, 0x7FF},
};
const size_t kova_reg_gap_count = sizeof(kova_reg_gaps) / sizeof(kova_reg_gaps[0]);

// Values that span several registers: name, then one [vh:vl:RRR:rh:rl] segment per
// register piece (value bits vh..vl in bits rh..rl of register RRR, hexadecimal).
const char *const kova_multireg_layouts[KOVA_MULTIREG_COUNT] = {
    "EEOFF0;[7:0:01:7:0][12:8:02:4:0]",
    "EEOFF1;[7:0:03:7:0][12:8:04:4:0]",
    "EEOFF2;[7:0:05:7:0][12:8:06:4:0]",
    "EEOFF3;[7:0:07:7:0][12:8:08:4:0]",
    "DSPID;[7:0:32:7:0][15:8:33:7:0]",
    "MEAS;[10:8:4B:2:0][7:0:4C:7:0]",
    "FREQ;[7:0:65:7:0][15:8:66:7:0][23:16:67:7:0][31:24:68:7:0]",
    "PHASE;[7:0:7D:7:0][15:8:7E:7:0][23:16:7F:7:0][31:24:80:7:0]",
    "AFBDIV;[7:0:106:7:0][15:8:107:7:0][23:16:108:7:0][31:24:109:7:0][39:32:10A:7:0][41:40:10B:1:0]",
    "AFBDEN;[7:0:10C:7:0][15:8:10D:7:0][23:16:10E:7:0][31:24:10F:7:0]",
    "AFBREM;[7:0:110:7:0][15:8:111:7:0][23:16:112:7:0][31:24:113:7:0]",
    "LSDIV1;[24:24:202:0:0][7:0:203:7:0][15:8:204:7:0][23:16:205:7:0]",
    "LSDIV2;[24:24:212:0:0][7:0:213:7:0][15:8:214:7:0][23:16:215:7:0]",
    "LSDIV3;[24:24:222:0:0][7:0:223:7:0][15:8:224:7:0][23:16:225:7:0]",
    "DIV1;[7:0:301:7:0][15:8:302:7:0][19:16:303:3:0]",
    "PCN1;[8:8:312:5:5][7:0:316:7:0]",
    "SCC1;[17:16:312:1:0][7:0:313:7:0][15:8:314:7:0]",
    "PCT1;[7:0:317:7:0][15:8:318:7:0]",
    "PPLT1;[8:8:319:5:5][7:0:31C:7:0]",
    "PPHT1;[8:8:319:3:3][7:0:31B:7:0]",
    "PPD1;[9:8:319:1:0][7:0:31A:7:0]",
    "DIV2;[7:0:321:7:0][15:8:322:7:0][19:16:323:3:0]",
    "PCN2;[8:8:332:5:5][7:0:336:7:0]",
    "SCC2;[17:16:332:1:0][7:0:333:7:0][15:8:334:7:0]",
    "PCT2;[7:0:337:7:0][15:8:338:7:0]",
    "PPLT2;[8:8:339:5:5][7:0:33C:7:0]",
    "PPHT2;[8:8:339:3:3][7:0:33B:7:0]",
    "PPD2;[9:8:339:1:0][7:0:33A:7:0]",
    "DIV3;[7:0:341:7:0][15:8:342:7:0][19:16:343:3:0]",
    "PCN3;[8:8:352:5:5][7:0:356:7:0]",
    "SCC3;[17:16:352:1:0][7:0:353:7:0][15:8:354:7:0]",
    "PCT3;[7:0:357:7:0][15:8:358:7:0]",
    "PPLT3;[8:8:359:5:5][7:0:35C:7:0]",
    "PPHT3;[8:8:359:3:3][7:0:35B:7:0]",
    "PPD3;[9:8:359:1:0][7:0:35A:7:0]",
    "FBSCALE;[7:0:406:7:0][15:8:407:7:0]",
    "FBDIV;[7:0:408:7:0][15:8:409:7:0][18:16:40A:2:0]",
    "PFDCNT;[7:0:410:7:0][13:8:411:5:0]",
    "FREQZ;[7:0:420:7:0][15:8:421:7:0][23:16:422:7:0][31:24:423:7:0][39:32:424:7:0]",
    "PHOFF;[7:0:428:7:0][15:8:429:7:0][23:16:42A:7:0][31:24:42B:7:0]",
    "SSCNT;[7:0:42C:7:0][11:8:42D:3:0]",
    "DECINC;[7:0:430:7:0][15:8:431:7:0][19:16:432:3:0]",
};

// build_regs packing, in write order. S(h, l, field, f) puts bits f.. of the field into
// register bits h..l; register bits without a slot are written 0.
#define S(h, l, field, f) \
  {h, l, f, sizeof(hal_api_s::field), offsetof(hal_api_s, field)}
static_assert(sizeof(hal_api_s) <= 0xFFFF, "field offsets are kept in 16 bits");

const kova_build_row_s kova_build_rows[] = {
    {0x009, kova_build_mcr1_e, 0, 7,  // MCR1
     {S(7, 7, mcr1_rst_u1, 0), S(6, 6, mcr1_vcxo_u1, 0), S(5, 5, mcr1_mcsel1_u1, 0),
      S(4, 4, mcr1_mcsel_u1, 0), S(3, 3, mcr1_roscd_u1, 0), S(2, 2, mcr1_dbl_u1, 0),
      S(1, 0, mcr1_xab_u2, 0)}},
    {0x00A, kova_build_always_e, 0, 3,  // MCR2
     {S(6, 5, mcr2_extss_u2, 0), S(4, 4, mcr2_aincdis_u1, 0), S(2, 0, mcr2_mclk_u3, 0)}},
    {0x00B, kova_build_always_e, 0, 2,  // PLLEN
     {S(4, 4, pllen_dpllen_u1, 0), S(0, 0, pllen_apllen_u1, 0)}},
    {0x00C, kova_build_always_e, 0, 3,  // ICEN
     {S(2, 2, icen_ic3en_u1, 0), S(1, 1, icen_ic2en_u1, 0), S(0, 0, icen_ic1en_u1, 0)}},
    {0x00D, kova_build_always_e, 0, 3,  // OCEN
     {S(2, 2, ocen_oc3en_u1, 0), S(1, 1, ocen_oc2en_u1, 0), S(0, 0, ocen_oc1en_u1, 0)}},
    {0x01A, kova_build_always_e, 0, 1, {S(7, 0, sco_sco_i8, 0)}},  // SCO
    {0x300, kova_build_always_e, 0, 2,  // IC1CR1
     {S(6, 6, ic1cr1_pol_u1, 0), S(1, 0, ic1cr1_hsdiv_u2, 0)}},
    {0x301, kova_build_always_e, 0, 1, {S(7, 0, ic1cr2_div_u20, 0)}},  // IC1CR2
    {0x302, kova_build_always_e, 0, 1, {S(7, 0, ic1cr2_div_u20, 8)}},  // IC1CR3
    {0x303, kova_build_always_e, 0, 1, {S(3, 0, ic1cr2_div_u20, 16)}},  // IC1CR4
    {0x320, kova_build_always_e, 0, 2,  // IC2CR1
     {S(6, 6, ic2cr1_pol_u1, 0), S(1, 0, ic2cr1_hsdiv_u2, 0)}},
    {0x321, kova_build_always_e, 0, 1, {S(7, 0, ic2cr2_div_u20, 0)}},  // IC2CR2
    {0x322, kova_build_always_e, 0, 1, {S(7, 0, ic2cr2_div_u20, 8)}},  // IC2CR3
    {0x323, kova_build_always_e, 0, 1, {S(3, 0, ic2cr2_div_u20, 16)}},  // IC2CR4
    {0x340, kova_build_always_e, 0, 2,  // IC3CR1
     {S(6, 6, ic3cr1_pol_u1, 0), S(1, 0, ic3cr1_hsdiv_u2, 0)}},
    {0x341, kova_build_always_e, 0, 1, {S(7, 0, ic3cr2_div_u20, 0)}},  // IC3CR2
    {0x342, kova_build_always_e, 0, 1, {S(7, 0, ic3cr2_div_u20, 8)}},  // IC3CR3
    {0x343, kova_build_always_e, 0, 1, {S(3, 0, ic3cr2_div_u20, 16)}},  // IC3CR4
    {0x200, kova_build_always_e, 0, 2,  // OC1CR1
     {S(7, 7, oc1cr1_phen_u1, 0), S(6, 0, oc1cr1_msdiv_u7, 0)}},
    {0x201, kova_build_always_e, 0, 5,  // OC1CR2
     {S(7, 7, oc1cr2_asquel_u1, 0), S(6, 6, oc1cr2_pol_u1, 0), S(5, 4, oc1cr2_drive_u2, 0),
      S(3, 3, oc1cr2_stopdis_u1, 0), S(2, 0, oc1cr2_ocsf_u3, 0)}},
    {0x202, kova_build_always_e, 0, 5,  // OC1CR3
     {S(7, 7, oc1cr3_srlsen_u1, 0), S(6, 6, oc1cr3_divsel_u1, 0), S(5, 5, oc1cr3_neglsd_u1, 0),
      S(4, 4, oc1cr3_lssel_u1, 0), S(0, 0, oc1div1_lsdiv_u25, 24)}},
    {0x203, kova_build_always_e, 0, 1, {S(7, 0, oc1div1_lsdiv_u25, 0)}},  // OC1DIV1
    {0x204, kova_build_always_e, 0, 1, {S(7, 0, oc1div1_lsdiv_u25, 8)}},  // OC1DIV2
    {0x205, kova_build_always_e, 0, 1, {S(7, 0, oc1div1_lsdiv_u25, 16)}},  // OC1DIV3
    {0x206, kova_build_always_e, 0, 1, {S(7, 0, oc1dc_ocdc_u8, 0)}},  // OC1DC
    {0x207, kova_build_always_e, 0, 1, {S(7, 0, oc1ph_phadj_i8, 0)}},  // OC1PH
    {0x208, kova_build_always_e, 0, 3,  // OC1STOP
     {S(7, 7, oc1stop_stop_u1, 0), S(5, 2, oc1stop_src_u4, 0), S(1, 0, oc1stop_mode_u2, 0)}},
    {0x210, kova_build_always_e, 0, 2,  // OC2CR1
     {S(7, 7, oc2cr1_phen_u1, 0), S(6, 0, oc2cr1_msdiv_u7, 0)}},
    {0x211, kova_build_always_e, 0, 5,  // OC2CR2
     {S(7, 7, oc2cr2_asquel_u1, 0), S(6, 6, oc2cr2_pol_u1, 0), S(5, 4, oc2cr2_drive_u2, 0),
      S(3, 3, oc2cr2_stopdis_u1, 0), S(2, 0, oc2cr2_ocsf_u3, 0)}},
    {0x212, kova_build_always_e, 0, 5,  // OC2CR3
     {S(7, 7, oc2cr3_srlsen_u1, 0), S(6, 6, oc2cr3_divsel_u1, 0), S(5, 5, oc2cr3_neglsd_u1, 0),
      S(4, 4, oc2cr3_lssel_u1, 0), S(0, 0, oc2div1_lsdiv_u25, 24)}},
    {0x213, kova_build_always_e, 0, 1, {S(7, 0, oc2div1_lsdiv_u25, 0)}},  // OC2DIV1
    {0x214, kova_build_always_e, 0, 1, {S(7, 0, oc2div1_lsdiv_u25, 8)}},  // OC2DIV2
    {0x215, kova_build_always_e, 0, 1, {S(7, 0, oc2div1_lsdiv_u25, 16)}},  // OC2DIV3
    {0x216, kova_build_always_e, 0, 1, {S(7, 0, oc2dc_ocdc_u8, 0)}},  // OC2DC
    {0x217, kova_build_always_e, 0, 1, {S(7, 0, oc2ph_phadj_i8, 0)}},  // OC2PH
    {0x218, kova_build_always_e, 0, 3,  // OC2STOP
     {S(7, 7, oc2stop_stop_u1, 0), S(5, 2, oc2stop_src_u4, 0), S(1, 0, oc2stop_mode_u2, 0)}},
    {0x220, kova_build_always_e, 0, 2,  // OC3CR1
     {S(7, 7, oc3cr1_phen_u1, 0), S(6, 0, oc3cr1_msdiv_u7, 0)}},
    {0x221, kova_build_always_e, 0, 5,  // OC3CR2
     {S(7, 7, oc3cr2_asquel_u1, 0), S(6, 6, oc3cr2_pol_u1, 0), S(5, 4, oc3cr2_drive_u2, 0),
      S(3, 3, oc3cr2_stopdis_u1, 0), S(2, 0, oc3cr2_ocsf_u3, 0)}},
    {0x222, kova_build_always_e, 0, 5,  // OC3CR3
     {S(7, 7, oc3cr3_srlsen_u1, 0), S(6, 6, oc3cr3_divsel_u1, 0), S(5, 5, oc3cr3_neglsd_u1, 0),
      S(4, 4, oc3cr3_lssel_u1, 0), S(0, 0, oc3div1_lsdiv_u25, 24)}},
    {0x223, kova_build_always_e, 0, 1, {S(7, 0, oc3div1_lsdiv_u25, 0)}},  // OC3DIV1
    {0x224, kova_build_always_e, 0, 1, {S(7, 0, oc3div1_lsdiv_u25, 8)}},  // OC3DIV2
    {0x225, kova_build_always_e, 0, 1, {S(7, 0, oc3div1_lsdiv_u25, 16)}},  // OC3DIV3
    {0x226, kova_build_always_e, 0, 1, {S(7, 0, oc3dc_ocdc_u8, 0)}},  // OC3DC
    {0x227, kova_build_always_e, 0, 1, {S(7, 0, oc3ph_phadj_i8, 0)}},  // OC3PH
    {0x228, kova_build_always_e, 0, 3,  // OC3STOP
     {S(7, 7, oc3stop_stop_u1, 0), S(5, 2, oc3stop_src_u4, 0), S(1, 0, oc3stop_mode_u2, 0)}},
    {0x100, kova_build_always_e, 0, 3,  // APLLCR1
     {S(7, 7, apllcr1_aidiv_u2, 1), S(2, 2, apllcr1_enhs2_u1, 0), S(1, 1, apllcr1_byphs2_u1, 0)}},
    {0x101, kova_build_always_e, 0, 2,  // APLLCR2
     {S(7, 4, apllcr2_hsdiv2_u4, 0), S(3, 0, apllcr2_hsdiv1_u4, 0)}},
    {0x102, kova_build_always_e, 0, 3,  // APLLCR3
     {S(6, 6, apllcr3_extsw_u1, 0), S(5, 3, apllcr3_altmux_u3, 0),
      S(2, 0, apllcr3_apllmux_u3, 0)}},
    {0x103, kova_build_always_e, 0, 4,  // APLLCR4
     {S(7, 7, apllcr4_decph_u1, 0), S(6, 4, apllcr4_pdss_u3, 0), S(3, 3, apllcr4_incph_u1, 0),
      S(2, 0, apllcr4_piss_u3, 0)}},
    {0x106, kova_build_always_e, 0, 1, {S(7, 0, afbdiv1_afbdiv_u42, 0)}},  // AFBDIV1
    {0x107, kova_build_always_e, 0, 1, {S(7, 0, afbdiv1_afbdiv_u42, 8)}},  // AFBDIV2
    {0x108, kova_build_always_e, 0, 1, {S(7, 0, afbdiv1_afbdiv_u42, 16)}},  // AFBDIV3
    {0x109, kova_build_always_e, 0, 1, {S(7, 0, afbdiv1_afbdiv_u42, 24)}},  // AFBDIV4
    {0x10A, kova_build_always_e, 0, 1, {S(7, 0, afbdiv1_afbdiv_u42, 32)}},  // AFBDIV5
    {0x10B, kova_build_always_e, 0, 1, {S(1, 0, afbdiv1_afbdiv_u42, 40)}},  // AFBDIV6
    {0x10C, kova_build_always_e, 0, 1, {S(7, 0, afbden1_afbden_u32, 0)}},  // AFBDEN1
    {0x10D, kova_build_always_e, 0, 1, {S(7, 0, afbden1_afbden_u32, 8)}},  // AFBDEN2
    {0x10E, kova_build_always_e, 0, 1, {S(7, 0, afbden1_afbden_u32, 16)}},  // AFBDEN3
    {0x10F, kova_build_always_e, 0, 1, {S(7, 0, afbden1_afbden_u32, 24)}},  // AFBDEN4
    {0x110, kova_build_always_e, 0, 1, {S(7, 0, afbrem1_afbrem_u32, 0)}},  // AFBREM1
    {0x111, kova_build_always_e, 0, 1, {S(7, 0, afbrem1_afbrem_u32, 8)}},  // AFBREM2
    {0x112, kova_build_always_e, 0, 1, {S(7, 0, afbrem1_afbrem_u32, 16)}},  // AFBREM3
    {0x113, kova_build_always_e, 0, 1, {S(7, 0, afbrem1_afbrem_u32, 24)}},  // AFBREM4
    {0x114, kova_build_always_e, 0, 1, {S(7, 0, afbbp_afbbp_u8, 0)}},  // AFBBP
    {0x120, kova_build_apll_test_e, 0, 1, {S(7, 0, dco1_u8, 0)}},  // DCO1
    {0x121, kova_build_apll_test_e, 0, 1, {S(7, 0, dco2_u8, 0)}},  // DCO2
    {0x122, kova_build_apll_test_e, 0, 1, {S(7, 0, dco3_u8, 0)}},  // DCO3
    {0x123, kova_build_apll_test_e, 0, 1, {S(7, 0, altpll1_u8, 0)}},  // ALTPLL1
    {0x124, kova_build_apll_test_e, 0, 1, {S(7, 0, altpll2_u8, 0)}},  // ALTPLL2
    {0x125, kova_build_apll_test_e, 0, 1, {S(7, 0, plltcr5_u8, 0)}},  // PLLTCR5
    {0x126, kova_build_apll_test_e, 0, 1, {S(7, 0, plltcr6_u8, 0)}},  // PLLTCR6
    {0x127, kova_build_apll_test_e, 0, 1, {S(7, 0, plltcr7_u8, 0)}},  // PLLTCR7
    {0x128, kova_build_apll_test_e, 0, 1, {S(7, 0, plltcr8_u8, 0)}},  // PLLTCR8
    {0x129, kova_build_apll_test_e, 0, 1, {S(7, 0, plltcr9_u8, 0)}},  // PLLTCR9
    {0x12A, kova_build_apll_test_e, 0, 1, {S(7, 0, plltcr10_u8, 0)}},  // PLLTCR10
    {0x12B, kova_build_apll_test_e, 0, 1, {S(7, 0, plltcr11_u8, 0)}},  // PLLTCR11
    {0x12C, kova_build_apll_test_e, 0, 1, {S(7, 0, plltcr12_u8, 0)}},  // PLLTCR12
    {0x406, kova_build_always_e, 0, 1, {S(7, 0, dfbscl1_fbscale_u16, 0)}},  // DFBSCL1
    {0x407, kova_build_always_e, 0, 1, {S(7, 0, dfbscl1_fbscale_u16, 8)}},  // DFBSCL2
    {0x408, kova_build_always_e, 0, 1, {S(7, 0, dfbdiv1_fbdiv_u19, 0)}},  // DFBDIV1
    {0x409, kova_build_always_e, 0, 1, {S(7, 0, dfbdiv1_fbdiv_u19, 8)}},  // DFBDIV2
    {0x40A, kova_build_always_e, 0, 1, {S(2, 0, dfbdiv1_fbdiv_u19, 16)}},  // DFBDIV3
    {0x400, kova_build_always_e, 0, 4,  // ICSCR1
     {S(7, 7, icscr1_extsw_u1, 0), S(6, 6, icscr1_revert_u1, 0), S(4, 3, icscr1_fbsel_u2, 0),
      S(1, 0, icscr1_icsel_u2, 0)}},
    {0x401, kova_build_always_e, 0, 3,  // VALCR1
     {S(2, 2, valcr1_ic3_u1, 0), S(1, 1, valcr1_ic2_u1, 0), S(0, 0, valcr1_ic1_u1, 0)}},
    {0x402, kova_build_always_e, 0, 2,  // IPR1
     {S(5, 4, ipr1_pri2_u2, 0), S(1, 0, ipr1_pri1_u2, 0)}},
    {0x403, kova_build_always_e, 0, 1, {S(1, 0, ipr2_pri3_u2, 0)}},  // IPR2
    {0x410, kova_build_always_e, 0, 1, {S(7, 0, dpcnt1_pfdcnt_u14, 0)}},  // DPCNT1
    {0x411, kova_build_always_e, 0, 1, {S(5, 0, dpcnt1_pfdcnt_u14, 8)}},  // DPCNT2
    {0x420, kova_build_always_e, 0, 1, {S(7, 0, dfreqz1_freqz_u40, 0)}},  // DFREQZ1
    {0x421, kova_build_always_e, 0, 1, {S(7, 0, dfreqz1_freqz_u40, 8)}},  // DFREQZ2
    {0x422, kova_build_always_e, 0, 1, {S(7, 0, dfreqz1_freqz_u40, 16)}},  // DFREQZ3
    {0x423, kova_build_always_e, 0, 1, {S(7, 0, dfreqz1_freqz_u40, 24)}},  // DFREQZ4
    {0x424, kova_build_always_e, 0, 1, {S(7, 0, dfreqz1_freqz_u40, 32)}},  // DFREQZ5
    {0x428, kova_build_always_e, 0, 1, {S(7, 0, dphoff1_phoff_ns_i32_10, 0)}},  // DPHOFF1
    {0x429, kova_build_always_e, 0, 1, {S(7, 0, dphoff1_phoff_ns_i32_10, 8)}},  // DPHOFF2
    {0x42A, kova_build_always_e, 0, 1, {S(7, 0, dphoff1_phoff_ns_i32_10, 16)}},  // DPHOFF3
    {0x42B, kova_build_always_e, 0, 1, {S(7, 0, dphoff1_phoff_ns_i32_10, 24)}},  // DPHOFF4
    {0x404, kova_build_always_e, 0, 2,  // PHLKTO
     {S(7, 6, phlkto_phlktom_u2, 0), S(5, 0, phlkto_phlkto_u6, 0)}},
    {0x405, kova_build_always_e, 0, 2,  // LKATO
     {S(7, 6, lkato_lkatom_u2, 0), S(5, 0, lkato_lkato_u6, 0)}},
    {0x40B, kova_build_always_e, 0, 2,  // DPLLCR1
     {S(5, 4, dpllcr1_homode_u2, 0), S(3, 0, dpllcr1_mode_u4, 0)}},
    {0x40C, kova_build_always_e, 0, 8,  // DPLLCR2
     {S(7, 7, dpllcr2_crb8, 0), S(6, 6, dpllcr2_crb7, 0), S(5, 5, dpllcr2_crb6, 0),
      S(4, 4, dpllcr2_crb5, 0), S(3, 3, dpllcr2_crb4, 0), S(2, 2, dpllcr2_crb3, 0),
      S(1, 1, dpllcr2_crb2, 0), S(0, 0, dpllcr2_crb1, 0)}},
    {0x40D, kova_build_always_e, 0, 8,  // DPLLCR3
     {S(7, 7, dpllcr3_crb16, 0), S(6, 6, dpllcr3_crb15, 0), S(5, 5, dpllcr3_crb14, 0),
      S(4, 4, dpllcr3_crb13, 0), S(3, 3, dpllcr3_crb12, 0), S(2, 2, dpllcr3_crb11, 0),
      S(1, 1, dpllcr3_crb10, 0), S(0, 0, dpllcr3_crb9, 0)}},
    {0x425, kova_build_ja_e, 0, 1, {S(7, 0, phlolset_ro_u8_0, 0)}},  // DCRB6
    {0x426, kova_build_ja_e, 0, 1, {S(7, 0, phlolns_ro_u16_0, 0)}},  // DCRB7
    {0x427, kova_build_ja_e, 0, 1, {S(7, 0, phlolns_ro_u16_0, 8)}},  // DCRB8
    {0x42C, kova_build_ss_e, 0, 1, {S(7, 0, dsscnt1_sscnt_u12, 0)}},  // DSSCNT1
    {0x42C, kova_build_ja_e, 0, 1, {S(7, 0, hoavgto_ro_u8_0, 0)}},  // DSSCNT1
    {0x42D, kova_build_ss_e, 0, 1, {S(3, 0, dsscnt1_sscnt_u12, 8)}},  // DSSCNT2
    {0x42D, kova_build_ja_e, 0, 1, {S(7, 0, pfixavgto_ro_u8_0, 0)}},  // DSSCNT2
    {0x430, kova_build_ss_e, 0, 1, {S(7, 0, dssdec1_decinc_u20, 0)}},  // DSSDEC1
    {0x430, kova_build_ja_e, 0, 1, {S(7, 0, pslimthr_ro_u32_10, 0)}},  // DSSDEC1
    {0x431, kova_build_ss_e, 0, 1, {S(7, 0, dssdec1_decinc_u20, 8)}},  // DSSDEC2
    {0x431, kova_build_ja_e, 0, 1, {S(7, 0, pslimthr_ro_u32_10, 8)}},  // DSSDEC2
    {0x432, kova_build_ss_e, 0, 1, {S(7, 0, dssdec1_decinc_u20, 16)}},  // DCRB19
    {0x432, kova_build_ja_e, 0, 1, {S(7, 0, pslimthr_ro_u32_10, 16)}},  // DCRB19
    {0x433, kova_build_ja_e, 0, 1, {S(7, 0, pslimthr_ro_u32_10, 24)}},  // DCRB20
    {0x434, kova_build_ja_e, 0, 1, {S(7, 0, pfdns_ro_u32_20, 0)}},  // DCRB21
    {0x435, kova_build_ja_e, 0, 1, {S(7, 0, pfdns_ro_u32_20, 8)}},  // DCRB22
    {0x436, kova_build_ja_e, 0, 1, {S(7, 0, pfdns_ro_u32_20, 16)}},  // DCRB23
    {0x437, kova_build_ja_e, 0, 1, {S(7, 0, pfdns_ro_u32_20, 24)}},  // DCRB24
    {0x438, kova_build_ja_e, 0, 1, {S(7, 0, prop_ro_u32_10, 0)}},  // DCRB25
    {0x439, kova_build_ja_e, 0, 1, {S(7, 0, prop_ro_u32_10, 8)}},  // DCRB26
    {0x43A, kova_build_ja_e, 0, 1, {S(7, 0, prop_ro_u32_10, 16)}},  // DCRB27
    {0x43B, kova_build_ja_e, 0, 1, {S(7, 0, prop_ro_u32_10, 24)}},  // DCRB28
    {0x43C, kova_build_ja_e, 0, 1, {S(7, 0, int_ro_u32_12, 0)}},  // DCRB29
    {0x43D, kova_build_ja_e, 0, 1, {S(7, 0, int_ro_u32_12, 8)}},  // DCRB30
    {0x43E, kova_build_ja_e, 0, 1, {S(7, 0, int_ro_u32_12, 16)}},  // DCRB31
    {0x43F, kova_build_ja_e, 0, 1, {S(7, 0, int_ro_u32_12, 24)}},  // DCRB32
    {0x440, kova_build_ja_e, 0, 1, {S(7, 0, hofdthr_ro_u32_0, 0)}},  // DCRB33
    {0x441, kova_build_ja_e, 0, 1, {S(7, 0, hofdthr_ro_u32_0, 8)}},  // DCRB34
    {0x442, kova_build_ja_e, 0, 1, {S(7, 0, hofdthr_ro_u32_0, 16)}},  // DCRB35
    {0x443, kova_build_ja_e, 0, 1, {S(7, 0, hofdthr_ro_u32_0, 24)}},  // DCRB36
    {0x444, kova_build_ja_e, 0, 1, {S(7, 0, houiscale_ro_u16_36, 0)}},  // DCRB37
    {0x445, kova_build_ja_e, 0, 1, {S(7, 0, houiscale_ro_u16_36, 8)}},  // DCRB38
    {0x448, kova_build_ja_e, 0, 1, {S(7, 0, fqhlimthr_ro_u32_0, 0)}},  // DCRB41
    {0x449, kova_build_ja_e, 0, 1, {S(7, 0, fqhlimthr_ro_u32_0, 8)}},  // DCRB42
    {0x44A, kova_build_ja_e, 0, 1, {S(7, 0, fqhlimthr_ro_u32_0, 16)}},  // DCRB43
    {0x44B, kova_build_ja_e, 0, 1, {S(7, 0, fqhlimthr_ro_u32_0, 24)}},  // DCRB44
    {0x44C, kova_build_ja_e, 0, 1, {S(7, 0, fchlimthr_ro_u32_0, 0)}},  // DCRB45
    {0x44D, kova_build_ja_e, 0, 1, {S(7, 0, fchlimthr_ro_u32_0, 8)}},  // DCRB46
    {0x44E, kova_build_ja_e, 0, 1, {S(7, 0, fchlimthr_ro_u32_0, 16)}},  // DCRB47
    {0x44F, kova_build_ja_e, 0, 1, {S(7, 0, fchlimthr_ro_u32_0, 24)}},  // DCRB48
    {0x450, kova_build_ja_e, 0, 1, {S(7, 0, pfdnscale_ro_u16_52, 0)}},  // DCRB49
    {0x451, kova_build_ja_e, 0, 1, {S(7, 0, pfdnscale_ro_u16_52, 8)}},  // DCRB50
    {0x454, kova_build_ja_e, 0, 1, {S(7, 0, pslimint_ro_u8_0, 0)}},  // DCRB53
    {0x456, kova_build_ja_e, 0, 1, {S(7, 0, phlolclr_ro_u8_0, 0)}},  // DCRB55
    {0x457, kova_build_ja_e, 0, 1, {S(7, 0, howaitto_ro_u8_0, 0)}},  // DCRB56
    {0x458, kova_build_ja_e, 0, 1, {S(7, 0, phuins_ro_u32_10, 0)}},  // DCRB57
    {0x459, kova_build_ja_e, 0, 1, {S(7, 0, phuins_ro_u32_10, 8)}},  // DCRB58
    {0x45A, kova_build_ja_e, 0, 1, {S(7, 0, phuins_ro_u32_10, 16)}},  // DCRB59
    {0x45B, kova_build_ja_e, 0, 1, {S(7, 0, phuins_ro_u32_10, 24)}},  // DCRB60
    {0x310, kova_build_always_e, 0, 2,  // MON1CR1
     {S(7, 4, mon1cr1_mondiv_u4, 0), S(2, 0, mon1cr1_valtime_u3, 0)}},
    {0x311, kova_build_always_e, 0, 4,  // MON1CR2
     {S(6, 4, mon1cr2_losss_u3, 0), S(2, 2, mon1cr2_scen_u1, 0), S(1, 1, mon1cr2_pcen_u1, 0),
      S(0, 0, mon1cr2_ppen_u1, 0)}},
    {0x313, kova_build_always_e, 0, 1, {S(7, 0, mon1cr4_scc_u18, 0)}},  // MON1CR4
    {0x314, kova_build_always_e, 0, 1, {S(7, 0, mon1cr4_scc_u18, 8)}},  // MON1CR5
    {0x315, kova_build_always_e, 0, 1, {S(7, 0, mon1cr6_pcd_u8, 0)}},  // MON1CR6
    {0x319, kova_build_always_e, 0, 4,  // MON1CR10
     {S(7, 7, mon1cr10_jtrtol_u1, 0), S(5, 5, mon1cr13_pplt_u9, 8), S(3, 3, mon1cr12_ppht_u9, 8),
      S(1, 0, mon1cr11_ppd_u10, 8)}},
    {0x31A, kova_build_always_e, 0, 1, {S(7, 0, mon1cr11_ppd_u10, 0)}},  // MON1CR11
    {0x31B, kova_build_always_e, 0, 1, {S(7, 0, mon1cr12_ppht_u9, 0)}},  // MON1CR12
    {0x31C, kova_build_always_e, 0, 1, {S(7, 0, mon1cr13_pplt_u9, 0)}},  // MON1CR13
    {0x312, kova_build_pcen0_e, 1, 3,  // MON1CR3
     {S(5, 5, mon1cr7_ppn_u25, 24), S(3, 3, mon1cr3_scgap_u1, 0), S(1, 0, mon1cr4_scc_u18, 16)}},
    {0x312, kova_build_pcen1_e, 1, 3,  // MON1CR3
     {S(5, 5, mon1cr7_pcn_u14, 13), S(3, 3, mon1cr3_scgap_u1, 0), S(1, 0, mon1cr4_scc_u18, 16)}},
    {0x316, kova_build_pcen0_e, 1, 1, {S(7, 0, mon1cr7_ppn_u25, 16)}},  // MON1CR7
    {0x316, kova_build_pcen1_e, 1, 1, {S(7, 0, mon1cr7_pcn_u14, 0)}},  // MON1CR7
    {0x317, kova_build_pcen0_e, 1, 1, {S(7, 0, mon1cr7_ppn_u25, 0)}},  // MON1CR8
    {0x317, kova_build_pcen1_e, 1, 1, {S(7, 0, mon1cr8_pct_u8, 0)}},  // MON1CR8
    {0x318, kova_build_pcen0_e, 1, 1, {S(7, 0, mon1cr7_ppn_u25, 8)}},  // MON1CR9
    {0x318, kova_build_pcen1_e, 1, 2,  // MON1CR9
     {S(7, 3, mon1cr7_pcn_u14, 8), S(2, 0, mon1cr9_pctm_u3, 0)}},
    {0x330, kova_build_always_e, 0, 2,  // MON2CR1
     {S(7, 4, mon2cr1_mondiv_u4, 0), S(2, 0, mon2cr1_valtime_u3, 0)}},
    {0x331, kova_build_always_e, 0, 4,  // MON2CR2
     {S(6, 4, mon2cr2_losss_u3, 0), S(2, 2, mon2cr2_scen_u1, 0), S(1, 1, mon2cr2_pcen_u1, 0),
      S(0, 0, mon2cr2_ppen_u1, 0)}},
    {0x333, kova_build_always_e, 0, 1, {S(7, 0, mon2cr4_scc_u18, 0)}},  // MON2CR4
    {0x334, kova_build_always_e, 0, 1, {S(7, 0, mon2cr4_scc_u18, 8)}},  // MON2CR5
    {0x335, kova_build_always_e, 0, 1, {S(7, 0, mon2cr6_pcd_u8, 0)}},  // MON2CR6
    {0x339, kova_build_always_e, 0, 4,  // MON2CR10
     {S(7, 7, mon2cr10_jtrtol_u1, 0), S(5, 5, mon2cr13_pplt_u9, 8), S(3, 3, mon2cr12_ppht_u9, 8),
      S(1, 0, mon2cr11_ppd_u10, 8)}},
    {0x33A, kova_build_always_e, 0, 1, {S(7, 0, mon2cr11_ppd_u10, 0)}},  // MON2CR11
    {0x33B, kova_build_always_e, 0, 1, {S(7, 0, mon2cr12_ppht_u9, 0)}},  // MON2CR12
    {0x33C, kova_build_always_e, 0, 1, {S(7, 0, mon2cr13_pplt_u9, 0)}},  // MON2CR13
    {0x332, kova_build_pcen0_e, 2, 3,  // MON2CR3
     {S(5, 5, mon2cr7_ppn_u25, 24), S(3, 3, mon2cr3_scgap_u1, 0), S(1, 0, mon2cr4_scc_u18, 16)}},
    {0x332, kova_build_pcen1_e, 2, 3,  // MON2CR3
     {S(5, 5, mon2cr7_pcn_u14, 13), S(3, 3, mon2cr3_scgap_u1, 0), S(1, 0, mon2cr4_scc_u18, 16)}},
    {0x336, kova_build_pcen0_e, 2, 1, {S(7, 0, mon2cr7_ppn_u25, 16)}},  // MON2CR7
    {0x336, kova_build_pcen1_e, 2, 1, {S(7, 0, mon2cr7_pcn_u14, 0)}},  // MON2CR7
    {0x337, kova_build_pcen0_e, 2, 1, {S(7, 0, mon2cr7_ppn_u25, 0)}},  // MON2CR8
    {0x337, kova_build_pcen1_e, 2, 1, {S(7, 0, mon2cr8_pct_u8, 0)}},  // MON2CR8
    {0x338, kova_build_pcen0_e, 2, 1, {S(7, 0, mon2cr7_ppn_u25, 8)}},  // MON2CR9
    {0x338, kova_build_pcen1_e, 2, 2,  // MON2CR9
     {S(7, 3, mon2cr7_pcn_u14, 8), S(2, 0, mon2cr9_pctm_u3, 0)}},
    {0x350, kova_build_always_e, 0, 2,  // MON3CR1
     {S(7, 4, mon3cr1_mondiv_u4, 0), S(2, 0, mon3cr1_valtime_u3, 0)}},
    {0x351, kova_build_always_e, 0, 4,  // MON3CR2
     {S(6, 4, mon3cr2_losss_u3, 0), S(2, 2, mon3cr2_scen_u1, 0), S(1, 1, mon3cr2_pcen_u1, 0),
      S(0, 0, mon3cr2_ppen_u1, 0)}},
    {0x353, kova_build_always_e, 0, 1, {S(7, 0, mon3cr4_scc_u18, 0)}},  // MON3CR4
    {0x354, kova_build_always_e, 0, 1, {S(7, 0, mon3cr4_scc_u18, 8)}},  // MON3CR5
    {0x355, kova_build_always_e, 0, 1, {S(7, 0, mon3cr6_pcd_u8, 0)}},  // MON3CR6
    {0x359, kova_build_always_e, 0, 4,  // MON3CR10
     {S(7, 7, mon3cr10_jtrtol_u1, 0), S(5, 5, mon3cr13_pplt_u9, 8), S(3, 3, mon3cr12_ppht_u9, 8),
      S(1, 0, mon3cr11_ppd_u10, 8)}},
    {0x35A, kova_build_always_e, 0, 1, {S(7, 0, mon3cr11_ppd_u10, 0)}},  // MON3CR11
    {0x35B, kova_build_always_e, 0, 1, {S(7, 0, mon3cr12_ppht_u9, 0)}},  // MON3CR12
    {0x35C, kova_build_always_e, 0, 1, {S(7, 0, mon3cr13_pplt_u9, 0)}},  // MON3CR13
    {0x352, kova_build_pcen0_e, 3, 3,  // MON3CR3
     {S(5, 5, mon3cr7_ppn_u25, 24), S(3, 3, mon3cr3_scgap_u1, 0), S(1, 0, mon3cr4_scc_u18, 16)}},
    {0x352, kova_build_pcen1_e, 3, 3,  // MON3CR3
     {S(5, 5, mon3cr7_pcn_u14, 13), S(3, 3, mon3cr3_scgap_u1, 0), S(1, 0, mon3cr4_scc_u18, 16)}},
    {0x356, kova_build_pcen0_e, 3, 1, {S(7, 0, mon3cr7_ppn_u25, 16)}},  // MON3CR7
    {0x356, kova_build_pcen1_e, 3, 1, {S(7, 0, mon3cr7_pcn_u14, 0)}},  // MON3CR7
    {0x357, kova_build_pcen0_e, 3, 1, {S(7, 0, mon3cr7_ppn_u25, 0)}},  // MON3CR8
    {0x357, kova_build_pcen1_e, 3, 1, {S(7, 0, mon3cr8_pct_u8, 0)}},  // MON3CR8
    {0x358, kova_build_pcen0_e, 3, 1, {S(7, 0, mon3cr7_ppn_u25, 8)}},  // MON3CR9
    {0x358, kova_build_pcen1_e, 3, 2,  // MON3CR9
     {S(7, 3, mon3cr7_pcn_u14, 8), S(2, 0, mon3cr9_pctm_u3, 0)}},
};
#undef S
const size_t kova_build_row_count = sizeof(kova_build_rows) / sizeof(kova_build_rows[0]);

