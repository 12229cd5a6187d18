/* bfsdk.h — the board SDK as the plug-in calls it: driver and system
 * enumeration, board and camera files, inquiry, board families, registers,
 * signals, triggers, diagnostics and time.
 *
 * Every Ci call and BFDrvReady returns 0 on success and an SDK error number
 * otherwise. Calls of later subsystems (acquisition, QTabs, LUT, serial,
 * firmware) are declared beside their group as they are needed.
 */
#ifndef BFSDK_H
#define BFSDK_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define BFSDK_EXPORT __attribute__((visibility("default")))

typedef uint32_t BFRC; /* SDK result: 0 success, else an SDK error number */

/* ---- handles and records ------------------------------------------------- */
typedef struct BdRec *Bd;       /* an open board */
typedef struct CiCamRec *CiCam; /* a camera (port) of an open board */

typedef struct {
  uint32_t opaque[8]; /* filled by the find calls, read by the open calls */
} CiENTRY;

typedef struct {
  void *impl; /* the SDK's signal; null while not created */
  uint32_t type;
  uint32_t reserved;
} CiSIGNAL;

/* What an extended signal wait tells of the frame. */
typedef struct {
  uint32_t line_count; /* lines of the frame (start/stop mode on Gn2 boards) */
  uint32_t reserved[7];
  uint64_t time_stamp; /* board time of the event, in fine ticks */
  uint64_t reserved2;
} CiSIGNAL_INFO;

/* ---- board families ------------------------------------------------------- */
#define CISYS_TYPE_RR 16  /* RoadRunner */
#define CISYS_TYPE_RV 32  /* Raven */
#define CISYS_TYPE_R64 64 /* R64 (also Karbon, Neon, Alta) */
#define CISYS_TYPE_GN2 128 /* Gn2 (also CoaXPress) */

/* ---- SDK error numbers ------------------------------------------------------ */
#define BF_OK 0
#define BF_WAIT_TIMEOUT 0x10000u
#define BF_WAIT_CANCEL 0x10001u
#define BF_ERR_BRD_HELD 4295u        /* board open in another process */
#define BF_ERR_BRD_HELD_CAM 4296u    /* same, found while loading the camera */
#define BF_ERR_NO_BOARD 0x10000001u  /* the board number does not exist */
#define BF_ERR_BAD_ARG 0x10000002u   /* a null or out-of-range argument */
#define BF_ERR_DRV_NOT_READY 0x10000003u
#define BF_ERR_NO_CAMERA 0x10000004u /* camera file missing or malformed */
#define BF_ERR_BAD_ITEM 0x10000005u  /* unknown inquiry item */
#define BF_ERR_BAD_BRD_TYPE 0x10000006u
#define BF_ERR_SIGNAL 0x10000007u    /* signal not created or already freed */
#define BF_ERR_FLASH_FILE 0x10000008u /* no firmware file of that name for the board */

#define BF_WAIT_FOREVER 0xFFFFFFFFu

/* ---- inquiry items ----------------------------------------------------------- */
#define BF_INQ_MODEL 1               /* board model code */
#define BF_INQ_BRD_MODEL 3           /* board model: what the LUT support depends on */
#define BF_INQ_NUM_CAMERAS 5         /* camera ports of the board */
#define BF_INQ_XSIZE 0x10001         /* frame width in pixels */
#define BF_INQ_YSIZE 0x10002         /* frame height in lines */
#define BF_INQ_INTERLACE 0x10003     /* BF_INTERLACED: each frame arrives as two fields */
#define BF_INQ_BITDEPTH 0x10004      /* camera depth in bits */
#define BF_INQ_BYTES_PER_PIX 0x10005 /* bytes a pixel at the camera depth */
#define BF_INQ_TIMEOUT 0x10006       /* acquisition time-out of the camera file, ms */
#define BF_INQ_FRAME_RATE 0x10009    /* camera frame rate, frames a second */
#define BF_INQ_BITDEPTH2 0x1000b     /* the board's second depth */
#define BF_INQ_BYTES_PER_PIX2 0x1000c /* bytes a pixel at the second depth */
#define BF_INQ_LINK_SPEED 0x1001f    /* Gn2: 1 when the link runs at full speed */

#define BF_INTERLACED 2 /* BF_INQ_INTERLACE of a camera that delivers two fields a frame */

/* ---- driver and system --------------------------------------------------------- */
BFSDK_EXPORT BFRC BFDrvReady(uint32_t wait_seconds);
BFSDK_EXPORT BFRC CiSysBrdEnum(uint32_t family, uint32_t *count);
BFSDK_EXPORT BFRC CiSysBrdFind(uint32_t family, uint32_t index, CiENTRY *entry);
BFSDK_EXPORT BFRC CiSysBoardFindSWConnector(uint32_t families, uint32_t switch_number,
                                            uint32_t connector, CiENTRY *entry);

/* ---- board and camera ------------------------------------------------------------ */
BFSDK_EXPORT BFRC CiBrdOpen(CiENTRY *entry, Bd *board, uint32_t mode, const char *camera);
BFSDK_EXPORT BFRC CiBrdOpenCam(CiENTRY *entry, Bd *board, uint32_t mode, const char *camera_file);
BFSDK_EXPORT BFRC CiBrdClose(Bd board);
BFSDK_EXPORT BFRC CiCamClose(Bd board, CiCam camera);
BFSDK_EXPORT BFRC CiBrdInquire(Bd board, uint32_t item, uint32_t *value);
BFSDK_EXPORT uint32_t CiBrdType(Bd board);
BFSDK_EXPORT BFRC CiBrdCamSel(Bd board, uint32_t port, uint32_t flags);
BFSDK_EXPORT BFRC CiBrdCamGetCur(Bd board, CiCam *camera);
BFSDK_EXPORT BFRC CiBrdCamSetCur(Bd board, CiCam camera, uint32_t flags);
BFSDK_EXPORT BFRC CiBrdAqSigSetCur(Bd board, CiSIGNAL *signal, uint32_t flags);
BFSDK_EXPORT BFRC CiBrdAqTimeoutSet(Bd board, uint32_t timeout_ms);

/* ---- board family queries: non-zero when the board belongs to the family ---------- */
BFSDK_EXPORT uint32_t BFIsR64(Bd board);      /* the R64 family, Karbon and Neon included */
BFSDK_EXPORT uint32_t BFIsR64Board(Bd board); /* an R64 proper, not a Karbon or Neon */
BFSDK_EXPORT uint32_t BFIsRv(Bd board);
BFSDK_EXPORT uint32_t BFIsKbn(Bd board);
BFSDK_EXPORT uint32_t BFIsNeon(Bd board);
BFSDK_EXPORT uint32_t BFIsNeonQ(Bd board); /* a Neon that can switch its firmware */
BFSDK_EXPORT uint32_t BFIsAlta(Bd board);
BFSDK_EXPORT uint32_t BFIsCL(Bd board);
BFSDK_EXPORT uint32_t BFIsGn2(Bd board);
BFSDK_EXPORT uint32_t BFIsCXP(Bd board);

/* ---- registers ------------------------------------------------------------------------ */
BFSDK_EXPORT uint32_t BFRegPeek(Bd board, uint32_t id);
BFSDK_EXPORT BFRC BFRegPoke(Bd board, uint32_t id, uint32_t value);
BFSDK_EXPORT BFRC BFRegRMW(Bd board, uint32_t id, uint32_t value, uint32_t mask);
BFSDK_EXPORT BFRC BFRegName(Bd board, uint32_t id, char *name, uint32_t size);
BFSDK_EXPORT uint32_t BFRegSupported(Bd board, uint32_t id);
/* CoaXPress camera registers, by byte address (32-bit words, aligned). Link
 * 255 is the board's own link. */
#define BF_CXP_LINK_OWN 255u
BFSDK_EXPORT BFRC BFCXPReadReg(Bd board, uint32_t link, uint32_t address, uint32_t *value);
BFSDK_EXPORT BFRC BFCXPWriteReg(Bd board, uint32_t link, uint32_t address, uint32_t value);

/* ---- signals ----------------------------------------------------------------------------
 * Waits return 0 (signalled), BF_WAIT_TIMEOUT or BF_WAIT_CANCEL. */
#define BF_SIG_HW_EXCEPTION 1
#define BF_SIG_OVERFLOW 2      /* FIFO overflow */
#define BF_SIG_FRAME_DONE 4    /* end of DMA */
#define BF_SIG_EXPOSURE 5      /* end of exposure, end of a start-stop frame */
#define BF_SIG_GN2_EXPOSURE 11 /* Gn2 end of exposure */
#define BF_SIG_START_STOP 15   /* R64 end of a start-stop frame */
BFSDK_EXPORT BFRC CiSignalCreate(Bd board, uint32_t type, CiSIGNAL *signal);
BFSDK_EXPORT BFRC CiSignalWait(Bd board, CiSIGNAL *signal, uint32_t timeout_ms,
                               uint32_t *num_pending);
BFSDK_EXPORT BFRC CiSignalWaitEx(Bd board, CiSIGNAL *signal, uint32_t timeout_ms,
                                 uint32_t *num_pending, CiSIGNAL_INFO *info);
BFSDK_EXPORT BFRC CiSignalCancel(Bd board, CiSIGNAL *signal);
BFSDK_EXPORT BFRC CiSignalQueueClear(Bd board, CiSIGNAL *signal);
BFSDK_EXPORT BFRC CiSignalFree(Bd board, CiSIGNAL *signal);

/* ---- triggers ---------------------------------------------------------------------------
 * Trigger modes of a camera file, as CiConVTrigModeGet reports them. */
#define BF_TRIGMODE_FREE_RUN 0
#define BF_TRIGMODE_ONE_SHOT 2
#define BF_TRIGMODE_TRIGGERED 3 /* triggered continuous */
#define BF_TRIGMODE_ONE_SHOT_SELF_TIMED 6
#define BF_TRIGMODE_START_STOP 7   /* start/stop: variable frame length */
#define BF_TRIGMODE_START_STOP_2 8 /* start/stop as well */
/* The three further values that go with BF_TRIGMODE_TRIGGERED when a camera
 * file of another mode is made to wait for the external trigger. */
#define BF_TRIGGERED_A 11
#define BF_TRIGGERED_B 13
#define BF_TRIGGERED_C 13
/* The trigger the connect, software-trigger and status calls name, and what
 * to do with it: CiConExTrigConnect connects or disconnects the external
 * input, CiConSwTrig sends one pulse. */
#define BF_TRIG_INPUT 1
#define BF_TRIG_PULSE 17
#define BF_TRIG_CONNECT 19
#define BF_TRIG_DISCONNECT 20
BFSDK_EXPORT BFRC CiConVTrigModeGet(Bd board, uint32_t *mode, uint32_t *trig_a, uint32_t *trig_b,
                                    uint32_t *trig_c);
BFSDK_EXPORT BFRC CiConVTrigModeSet(Bd board, uint32_t mode, uint32_t trig_a, uint32_t trig_b,
                                    uint32_t trig_c);
BFSDK_EXPORT BFRC CiConExTrigConnect(Bd board, uint32_t trigger, uint32_t how);

/* The timing generator: exposure and line/frame period (microseconds), its
 * trigger mode (0 free running, 1 one-shot on the trigger input, 2 one-shot
 * on the encoder), the polarity of its output (1 asserted high, 0 low) and
 * the output signals it drives (a mask of 8 bits). */
#define BF_NTG_NOT_SUPPORTED 65623u /* the board has no timing generator */
#define BF_NTG_OUT_OF_RANGE 65624u  /* a setting beyond what the generator can do */
#define BF_NTG_EXPOSURE_LONG 65625u /* exposure longer than the period */
#define BF_NTG_BAD_MODE 65626u      /* unknown trigger mode */
BFSDK_EXPORT BFRC CiConExposureControlSet(Bd board, double exposure, double period,
                                          uint32_t trig_mode, uint32_t assert_high,
                                          uint32_t output);
BFSDK_EXPORT BFRC CiConExposureControlGet(Bd board, double *exposure, double *period,
                                          uint32_t *trig_mode, uint32_t *assert_high,
                                          uint32_t *output);

/* ---- QTabs: the scatter tables through which DMA writes a buffer ---------------
 * A relative QTab describes one host buffer (address, size, signed line
 * stride, pixel format); the physical QTab makes it usable by the board; a
 * chain links several into the ring that the board fills in order. */
typedef struct {
  void *impl; /* the SDK's table; null while not created */
  uint8_t reserved[56];
} RQTabHeadRec;
typedef RQTabHeadRec *RQTabHeadPtr;

#define BF_QTAB_HOST 1 /* QTabs kept in host memory: the only mode the plug-in uses */
/* Pixel formats of a QTab and of CiConAqMode: pixels at the camera's depth or
 * at the board's second depth (BF_INQ_BITDEPTH2). */
#define BF_FORMAT_CAMERA 3
#define BF_FORMAT_SECOND_DEPTH 4

BFSDK_EXPORT BFRC BFQTabModeRequest(Bd board, uint32_t requested, uint32_t *granted);
BFSDK_EXPORT BFRC CiRelQTabCreate(Bd board, CiCam camera, void *destination, uint32_t size,
                                  int32_t stride, RQTabHeadPtr qtab, uint32_t format,
                                  uint32_t lut_bank, uint32_t lut_type, uint32_t dest_kind,
                                  uint32_t flags);
BFSDK_EXPORT BFRC CiPhysQTabCreate(Bd board, RQTabHeadPtr qtab, uint32_t flags);
BFSDK_EXPORT BFRC CiPhysQTabChainLink(Bd board, RQTabHeadPtr *list, uint32_t count);
BFSDK_EXPORT BFRC CiPhysQTabChainEngage(Bd board, RQTabHeadPtr *list, uint32_t flags);
BFSDK_EXPORT BFRC CiPhysQTabFree(Bd board, RQTabHeadPtr qtab);
BFSDK_EXPORT BFRC CiRelQTabFree(Bd board, RQTabHeadPtr qtab);

/* Quick Switch: frames alternate between regions, each with a chain of its
 * own. While the mode is on (and acquisition mode 4 is set with CiConAqMode)
 * the board takes no frame of its own accord: each CiConQSSetNextFrame names
 * the chain of the region the next frame uses and the entry it fills, and
 * the next software trigger delivers that one frame (once continuous
 * acquisition and DMA run), sized as the QTab describes it, then raises the
 * frame-done signals (type 4). The two position values are what the
 * position registers read after CiAqFrameSize set the region: column << 16 |
 * width and row << 16 | height. Boards other than Gn2 refuse values that do
 * not match the QTab's frame. */
#define BF_AQMODE_QUICK_SWITCH 4
BFSDK_EXPORT BFRC BFQSModeSet(Bd board, uint32_t on);
BFSDK_EXPORT BFRC CiConQSSetNextFrame(Bd board, RQTabHeadPtr *chain, uint32_t index,
                                      uint32_t position_a, uint32_t position_b);

/* ---- acquisition and DMA ---------------------------------------------------------
 * CiConAqCommand: 1 abort, 2 snap one frame, 3 acquire continuously.
 * CiAqCommand: 0 abort, 1 stop, 2 snap, 3 acquire continuously; the second
 * argument 1 waits for the command to take effect, 2 returns at once.
 * CiConDMACommand: 10 start, 11 abort, 12 reset. */
#define BF_CONAQ_ABORT 1
#define BF_CONAQ_SNAP 2
#define BF_CONAQ_GRAB 3
#define BF_AQ_ABORT 0
#define BF_AQ_STOP 1
#define BF_AQ_SNAP 2
#define BF_AQ_GRAB 3
#define BF_DMA_START 10
#define BF_DMA_ABORT 11
#define BF_DMA_RESET 12
#define BF_INQ_FRAME_BYTES 0x10007 /* bytes of one frame at the current region */

BFSDK_EXPORT BFRC CiConAqMode(Bd board, uint32_t format);
BFSDK_EXPORT BFRC CiShutdown(Bd board, uint32_t flags);
BFSDK_EXPORT BFRC CiConDMACommand(Bd board, uint32_t command, uint32_t a, uint32_t b,
                                  uint32_t c);
BFSDK_EXPORT BFRC CiAqCommand(Bd board, uint32_t command, uint32_t wait, uint32_t a, uint32_t b);
BFSDK_EXPORT BFRC CiConAqCommand(Bd board, uint32_t command, uint32_t flags);
/* *overflowed non-zero when the FIFO overflowed since the last check. */
BFSDK_EXPORT BFRC CiAqOverflowCheck(Bd board, uint32_t *overflowed);
BFSDK_EXPORT BFRC CiAqLastLine(Bd board, uint32_t *line, uint32_t flags);
BFSDK_EXPORT BFRC CiAqROISet(Bd board, uint32_t column, uint32_t row, uint32_t width,
                             uint32_t height, uint32_t flags);
BFSDK_EXPORT BFRC CiAqFrameSize(Bd board, uint32_t width, uint32_t height, uint32_t flags);
BFSDK_EXPORT BFRC CiChainSIPEnable(Bd board, RQTabHeadPtr *chain);
BFSDK_EXPORT BFRC CiChainSIPDisable(Bd board, RQTabHeadPtr *chain);
BFSDK_EXPORT BFRC CiConInt(Bd board, uint32_t interrupt, uint32_t enable);
BFSDK_EXPORT BFRC CiConIntModeSet(Bd board, uint32_t mode);
/* Software trigger (BF_TRIG_INPUT, BF_TRIG_PULSE) and the state of a trigger input. */
BFSDK_EXPORT BFRC CiConSwTrig(Bd board, uint32_t trigger, uint32_t how);
BFSDK_EXPORT BFRC CiConHwTrigStat(Bd board, uint32_t trigger, uint32_t *state);
BFSDK_EXPORT BFRC CiConCTabReset(Bd board);
BFSDK_EXPORT uint64_t BFFineRate(Bd board); /* fine time-stamp ticks a second */
BFSDK_EXPORT uint32_t BFGetVFGNum(Bd board);

/* ---- LUT, control table and outputs ------------------------------------------------
 * The LUT has four banks of 4096 16-bit entries. Every LUT call names the
 * LUT type CiLutSetMask gave for the current pixel size, a bank set (always
 * 0) and a channel mask: bit 0 red (the gray channel), bit 1 green, bit 2
 * blue, bit 3 the fourth bank; a write reaches every bank of its mask, a read
 * exactly one. Block transfers move entries of 1 or 2 bytes. */
BFSDK_EXPORT BFRC CiLutSetMask(Bd board, uint32_t bits, uint8_t *lut_type);
BFSDK_EXPORT BFRC CiLutWrite(Bd board, uint32_t lut_type, uint32_t bank_set, uint32_t mask,
                             uint32_t start, uint32_t count, const void *data,
                             uint32_t entry_bytes);
BFSDK_EXPORT BFRC CiLutRead(Bd board, uint32_t lut_type, uint32_t bank_set, uint32_t mask,
                            uint32_t start, uint32_t count, void *data, uint32_t entry_bytes);
BFSDK_EXPORT BFRC CiLutPoke(Bd board, uint32_t lut_type, uint32_t bank_set, uint32_t mask,
                            uint32_t index, uint32_t value);
/* The entry; 0 when it cannot be read. */
BFSDK_EXPORT uint32_t CiLutPeek(Bd board, uint32_t lut_type, uint32_t bank_set, uint32_t mask,
                                uint32_t index);
/* Control table: `count` 16-bit entries from `index` take the bits of
 * `value` that `mask` selects. */
BFSDK_EXPORT BFRC CiCTabFill(Bd board, uint32_t index, uint32_t count, uint16_t mask,
                             uint16_t value);
/* General-purpose outputs: bit n is output n. Set drives every output of
 * `mask` high (level 1) or low (level 0). */
BFSDK_EXPORT BFRC CiRegGPOutGet(Bd board, uint32_t *value);
BFSDK_EXPORT BFRC CiRegGPOutSet(Bd board, uint32_t mask, uint32_t level);

/* ---- configuration query ----------------------------------------------------------
 * The configured devices: every installed board of the families asked for,
 * each with an identifier that stays the same while the system does and a
 * flag telling whether it has a Camera Link serial port. A list from
 * BFGetCfgDevicesSorted belongs to the caller until BFFreeCfgDevices. */
typedef struct {
  uint32_t id;         /* the device's identifier, as in the device list */
  uint32_t family;     /* CISYS_TYPE_* */
  uint32_t index;      /* position within its family */
  uint32_t ports;      /* camera ports */
  uint32_t has_serial; /* non-zero: the board has a Camera Link serial port */
  uint32_t reserved[3];
} BFCFG_BOARD;

typedef struct BFCFG_DEVICE {
  struct BFCFG_DEVICE *next; /* null at the end of the list */
  uint32_t id;
  uint32_t family;
  uint32_t index;
  uint32_t has_serial;
} BFCFG_DEVICE;

#define BF_CFG_ORDER_SYSTEM 0 /* the order the boards are installed in */
#define BF_CFG_ORDER_FAMILY 1 /* by family code, then index within the family */

/* The configuration record of an open board. */
BFSDK_EXPORT BFRC BFGetCfgBoardVFO(Bd board, BFCFG_BOARD *record);
/* At most `max_devices` devices of the families in the mask `families`
 * (CISYS_TYPE_* or-ed), in `order`; *list is null when there are none. */
BFSDK_EXPORT BFRC BFGetCfgDevicesSorted(uint32_t max_devices, uint32_t families, uint32_t order,
                                        BFCFG_DEVICE **list);
/* Frees a whole list; null is accepted, a pointer that is not the head of a
 * live list is refused with BF_ERR_BAD_ARG. */
BFSDK_EXPORT BFRC BFFreeCfgDevices(BFCFG_DEVICE *list);

/* ---- Camera Link serial -------------------------------------------------------------
 * Each Camera Link board has one serial port wired to its camera. A port is
 * opened either from a board handle or by its serial index, the board's
 * position among the Camera Link boards ordered by family code and then index
 * within the family (the order BF_CFG_ORDER_FAMILY lists them in). A port is
 * open through at most one serial reference at a time; that reference reads,
 * writes, flushes and closes. The port reference (clBFGetSerialRef...) sets
 * and reports the line and needs no closing.
 *
 * The cl* calls return CL_ERR_NO_ERR or a negative CL_ERR_* code. A read asks
 * for exactly *size bytes; a write sends all *size bytes. Both wait at most
 * `timeout_ms` and then fail with CL_ERR_TIMEOUT, a read handing over what
 * did arrive and setting *size to its count. */
typedef int32_t CLINT32;

#define CL_ERR_NO_ERR 0
#define CL_ERR_PORT_IN_USE (-10003)       /* the port is open through another reference */
#define CL_ERR_TIMEOUT (-10004)
#define CL_ERR_INVALID_INDEX (-10005)     /* no port has that serial index */
#define CL_ERR_INVALID_REFERENCE (-10006) /* unknown, closed or stale reference; no port */
#define CL_ERR_BAD_SETTING (-10008)       /* a line code no port supports */
#define CL_ERR_INVALID_PTR (-10040)       /* a null pointer argument */
#define CL_ERR_LINE_FAULT (-10100)        /* the line refused the bytes */

/* Line codes of clBFSerialSettings and clBFGetBaudRate. */
#define CL_BAUDRATE_9600 1
#define CL_BAUDRATE_19200 2
#define CL_BAUDRATE_38400 4
#define CL_BAUDRATE_57600 8
#define CL_BAUDRATE_115200 16
#define CL_BAUDRATE_230400 32
#define BF_SERIAL_DATA_5 0 /* ... 3 for 8 data bits */
#define BF_SERIAL_PARITY_EVEN 0
#define BF_SERIAL_PARITY_ODD 1
#define BF_SERIAL_PARITY_NONE 2
#define BF_SERIAL_STOP_1 0
#define BF_SERIAL_STOP_1_5 1
#define BF_SERIAL_STOP_2 2

BFSDK_EXPORT CLINT32 clBFSerialInitFromBoardHandle(Bd board, void **serial_ref);
BFSDK_EXPORT CLINT32 clBFGetSerialRefFromBoardHandle(Bd board, void **port_ref);
BFSDK_EXPORT CLINT32 clBFGetSerialRef(uint32_t serial_index, void **port_ref);
BFSDK_EXPORT CLINT32 clBFSerialSettings(void *port_ref, uint32_t baud, uint32_t data_bits,
                                        uint32_t parity, uint32_t stop_bits);
BFSDK_EXPORT CLINT32 clBFGetBaudRate(void *port_ref, uint32_t *baud);
BFSDK_EXPORT CLINT32 clSerialInit(uint32_t serial_index, void **serial_ref);
BFSDK_EXPORT CLINT32 clSerialRead(void *serial_ref, char *buffer, uint32_t *size,
                                  uint32_t timeout_ms);
BFSDK_EXPORT CLINT32 clSerialWrite(void *serial_ref, const char *buffer, uint32_t *size,
                                   uint32_t timeout_ms);
BFSDK_EXPORT CLINT32 clFlushPort(void *serial_ref);
BFSDK_EXPORT CLINT32 clSerialClose(void *serial_ref);

/* ---- firmware and versions ------------------------------------------------------
 * Boards that carry several firmware images (BFIsNeonQ) load another one from
 * a firmware file through a flash request. The request record belongs to the
 * SDK; a caller fills the fields named here and leaves the others alone. */
#define BF_FLASH_KIND_SWITCH 13u   /* load the firmware file named in the request */
#define BF_FLASH_NAME_SIZE 1024u   /* the file name field, NUL included */
typedef struct {
  uint64_t header;                       /* offset 0: 0 */
  uint8_t reserved1[24];
  uint32_t kind;                         /* offset 32: BF_FLASH_KIND_SWITCH */
  uint8_t reserved2[68];
  char file_name[BF_FLASH_NAME_SIZE];    /* offset 104: NUL-terminated */
  uint8_t reserved3[24];
} BFFLASHREQUEST;

/* The firmware the board runs now, by selector ("MUX": the switchable image).
 * Writes at most `size` bytes, NUL-terminated; a name that does not fit
 * leaves an empty text and fails with BF_ERR_BAD_ARG. */
BFSDK_EXPORT BFRC BFGetCurrentFimwareName(Bd board, const char *selector, char *buffer,
                                          uint32_t size);
/* `request` points at a BFFLASHREQUEST. BF_ERR_BAD_BRD_TYPE on a board that
 * cannot switch, BF_ERR_BAD_ARG for another kind or an unterminated name,
 * BF_ERR_FLASH_FILE for a file the board has not. */
BFSDK_EXPORT BFRC BFFlashRequest(Bd board, void *request);
/* The SDK's version; bit 31 of the major number marks a debug build. */
BFSDK_EXPORT BFRC BFDVersion(uint32_t *major, uint32_t *minor);
BFSDK_EXPORT BFRC BFBuildNumber(uint32_t *build);

/* ---- diagnostics and time ------------------------------------------------------------------ */
BFSDK_EXPORT void BFErrorShow(Bd board);
BFSDK_EXPORT void BFOutputDebugString(const char *text);
BFSDK_EXPORT int BFsprintf(char *buffer, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
/* Non-zero when the SDK was built for a target without board information. */
BFSDK_EXPORT BFRC BFGetBuildTarget(uint32_t *target);
BFSDK_EXPORT uint64_t BFTick(void);                              /* milliseconds since an epoch */
BFSDK_EXPORT uint32_t BFTickDelta(uint64_t start, uint64_t end); /* ms between two ticks */

#ifdef __cplusplus
}
#endif

#endif /* BFSDK_H */
