/* tarvel.h — what the host image-processing library offers an acquisition
 * interface plug-in: result codes, parameter values, images, the class record
 * and the host instance record, and the host calls a plug-in makes.
 *
 * One header for the three host builds. The build is chosen with one macro:
 *   TARVEL_BUILD_XL   the xl host   (tarvelxl)
 *   TARVEL_BUILD_PAR  the par host  (partarvel)
 *   neither           the standard host (tarvel)
 * The record layouts below differ between builds exactly where the hosts do.
 */
#ifndef TARVEL_H
#define TARVEL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(TARVEL_BUILD_XL) && defined(TARVEL_BUILD_PAR)
#error "choose one host build"
#endif

#define TARVEL_EXPORT __attribute__((visibility("default")))

/* Layouts a plug-in built for a host relies on, checked where they are made. */
#ifdef __cplusplus
#define TARVEL_LAYOUT(check) static_assert(check, #check)
#else
#define TARVEL_LAYOUT(check) _Static_assert(check, #check)
#endif

/* ---- result codes ------------------------------------------------------- */
typedef int32_t Terr;

#if defined(TARVEL_BUILD_PAR)
#define T_MSG_OK 1
#else
#define T_MSG_OK 2
#endif

/* ---- handles ------------------------------------------------------------ */
typedef struct TprocRec *Tproc_handle; /* procedure handle of one host call */
typedef void *Tkey;

/* ---- parameter values --------------------------------------------------- */
#define TPAR_INT 1
#define TPAR_DOUBLE 2
#define TPAR_STRING 4

#if defined(TARVEL_BUILD_PAR)
typedef uint8_t Tpar_tag; /* the par host packs the tag into one byte */
#else
typedef int32_t Tpar_tag;
#endif

typedef union {
  int64_t l;
  double d;
  char *s;
} Tpar;

typedef struct {
  Tpar par;
  Tpar_tag type;
} Tcpar;

TARVEL_LAYOUT(sizeof(Tpar) == 8);
TARVEL_LAYOUT(offsetof(Tcpar, type) == 8);
TARVEL_LAYOUT(sizeof(Tcpar) == 16);
#if defined(TARVEL_BUILD_PAR)
TARVEL_LAYOUT(sizeof(Tpar_tag) == 1);
#else
TARVEL_LAYOUT(sizeof(Tpar_tag) == 4);
#endif

/* ---- images -------------------------------------------------------------- */
#define BYTE_IMAGE (1 << 0)
#define INT4_IMAGE (1 << 1)
#define UINT2_IMAGE (1 << 10)

typedef struct {
  uint16_t *p;
  int8_t num_bits; /* significant bits of each pixel */
} Tuint2_pixel;

typedef union {
  uint8_t *b;
  Tuint2_pixel u;
  int32_t *l;
  void *raw;
} Tpixel;

typedef struct {
  int32_t kind; /* BYTE_IMAGE, UINT2_IMAGE or INT4_IMAGE, 0 for none */
  Tpixel pixel;
  int32_t width;
  int32_t height;
  /* acquisition time */
  uint16_t msec;
  uint8_t sec;
  uint8_t min;
  uint8_t hour;
  uint8_t day;
  uint16_t yday; /* day of year, 1..366 */
  uint8_t mon;   /* 1..12 */
  uint16_t year;
  /* host bookkeeping: non-zero when the host allocated the pixels */
  uint8_t owns_pixels;
} Timage;

/* ---- class record and host instance record ------------------------------ */
#if defined(TARVEL_BUILD_PAR)
#define TARVEL_MAX_FG_INSTANCES 64
#else
#define TARVEL_MAX_FG_INSTANCES 256
#endif

#define TARVEL_FG_TEXT 1024

/* The open parameters: the defaults of the class record and the head of the
 * host instance record share this field list, in this order. */
#define TARVEL_FG_OPEN_FIELDS         \
  int32_t horizontal_resolution;      \
  int32_t vertical_resolution;        \
  int32_t image_width;                \
  int32_t image_height;               \
  int32_t start_row;                  \
  int32_t start_column;               \
  int32_t field;                      \
  int32_t bits_per_channel;           \
  char color_space[TARVEL_FG_TEXT];   \
  float gain;                         \
  uint8_t external_trigger;           \
  char camera_type[TARVEL_FG_TEXT];   \
  char device[TARVEL_FG_TEXT];        \
  int32_t port;                       \
  int32_t line_in;

struct TFgClass;

typedef struct TFgInstance {
  struct TFgClass *fgclass;
  TARVEL_FG_OPEN_FIELDS
  Tcpar *generic;      /* generic open values */
  int32_t num_generic; /* count of generic */
  int64_t resolution_mode;
  int32_t board_width;
  int32_t board_height;
  int32_t num_channels;
  uint8_t async_grab;
  void *currInst; /* the plug-in's private record */
  uint8_t image_alloc; /* the host allocates image memory for grabs */
  int64_t image_alloc_data;
} TFgInstance;

typedef void (*TFgCallback)(void *instance, void *reserved, void *context);

typedef TFgInstance **(*TFgAllocInstanceOp)(Tproc_handle, TFgInstance *);
typedef Terr (*TFgOpenOp)(Tproc_handle, TFgInstance *);
typedef Terr (*TFgCloseOp)(Tproc_handle, TFgInstance *);
typedef Terr (*TFgGrabOp)(Tproc_handle, TFgInstance *, Timage *image, int32_t *num_image);
typedef Terr (*TFgGrabStartOp)(Tproc_handle, TFgInstance *, double max_age);
typedef Terr (*TFgGrabAsyncOp)(Tproc_handle, TFgInstance *, double max_age, Timage *image,
                               int32_t *num_image);
typedef Terr (*TFgInfoOp)(Tproc_handle, int32_t query, const char **info, Tcpar **values,
                          int32_t *num_values);
typedef Terr (*TFgSetParamOp)(Tproc_handle, TFgInstance *, const char *name, Tcpar *value,
                              int32_t num);
typedef Terr (*TFgGetParamOp)(Tproc_handle, TFgInstance *, const char *name, Tcpar *value,
                              int32_t *num);
/* LUT tables are arrays of host integers, one per colour channel. */
typedef Terr (*TFgSetLutOp)(Tproc_handle, TFgInstance *, int64_t *red, int64_t *green,
                            int64_t *blue, int32_t num);
typedef Terr (*TFgGetLutOp)(Tproc_handle, TFgInstance *, int64_t *red, int64_t *green,
                            int64_t *blue, int32_t *num);
typedef Terr (*TFgSetCallbackOp)(Tproc_handle, TFgInstance *, const char *type,
                                 TFgCallback function, void *context);
typedef Terr (*TFgGetCallbackOp)(Tproc_handle, TFgInstance *, const char *type,
                                 TFgCallback *function, void **context);

typedef struct {
  TFgAllocInstanceOp alloc_instance;
  TFgOpenOp open;
  TFgCloseOp close;
  TFgGrabOp grab;
  TFgGrabStartOp grab_start;
  TFgGrabAsyncOp grab_async;
  void *reserved6;
  void *reserved7;
} TFgOperations;

typedef struct {
  TFgInfoOp info;
  TFgSetParamOp set_param;
  TFgGetParamOp get_param;
  TFgSetLutOp set_lut;
  TFgGetLutOp get_lut;
#if !defined(TARVEL_BUILD_PAR)
  TFgSetCallbackOp set_callback;
  TFgGetCallbackOp get_callback;
#endif
} TFgParamOperations;

typedef struct TFgClass {
  int32_t interface_version;
#if !defined(TARVEL_BUILD_PAR)
  int32_t reserved; /* the host's; a plug-in leaves it alone */
#endif
  int32_t class_flag;
  int32_t instances_num;
  int32_t instances_max;
  TFgInstance *instance[TARVEL_MAX_FG_INSTANCES];
  TFgOperations ops;
  TFgParamOperations param_ops;
  TARVEL_FG_OPEN_FIELDS
} TFgClass;

#if defined(TARVEL_BUILD_PAR)
/* No reserved field after interface_version, and the second table ends
 * after the LUT operations. */
TARVEL_LAYOUT(offsetof(TFgClass, class_flag) == 4);
TARVEL_LAYOUT(offsetof(TFgClass, instance) == 16);
TARVEL_LAYOUT(sizeof(TFgParamOperations) == 5 * sizeof(void *));
#else
TARVEL_LAYOUT(offsetof(TFgClass, class_flag) == 8);
/* after four 32-bit fields, aligned for pointers */
TARVEL_LAYOUT(offsetof(TFgClass, instance) == 24);
TARVEL_LAYOUT(sizeof(TFgParamOperations) == 7 * sizeof(void *));
#endif
TARVEL_LAYOUT(offsetof(TFgClass, instances_num) == offsetof(TFgClass, class_flag) + 4);
TARVEL_LAYOUT(offsetof(TFgClass, instances_max) == offsetof(TFgClass, class_flag) + 8);
TARVEL_LAYOUT(offsetof(TFgClass, ops) ==
              offsetof(TFgClass, instance) + TARVEL_MAX_FG_INSTANCES * sizeof(void *));
TARVEL_LAYOUT(sizeof(TFgOperations) == 8 * sizeof(void *));
TARVEL_LAYOUT(offsetof(TFgClass, horizontal_resolution) ==
              offsetof(TFgClass, param_ops) + sizeof(TFgParamOperations));
/* The class defaults and the head of the instance record share one field list. */
TARVEL_LAYOUT(offsetof(TFgClass, color_space) - offsetof(TFgClass, horizontal_resolution) == 32);
TARVEL_LAYOUT(offsetof(TFgClass, gain) - offsetof(TFgClass, horizontal_resolution) ==
              32 + TARVEL_FG_TEXT);
TARVEL_LAYOUT(offsetof(TFgInstance, color_space) - offsetof(TFgInstance, horizontal_resolution) ==
              offsetof(TFgClass, color_space) - offsetof(TFgClass, horizontal_resolution));
TARVEL_LAYOUT(offsetof(TFgInstance, line_in) - offsetof(TFgInstance, horizontal_resolution) ==
              offsetof(TFgClass, line_in) - offsetof(TFgClass, horizontal_resolution));

/* The plug-in's one exported entry point. */
typedef Terr (*TFgInitProc)(Tproc_handle, TFgClass *);

/* ---- host mutexes -------------------------------------------------------- */
typedef struct TpMutexImpl *TpMutex;

/* ---- host globals --------------------------------------------------------- */
#if defined(TARVEL_BUILD_PAR)
typedef struct {
  uint8_t spy_on;   /* both flags non-zero: procedure-call spying is on */
  uint8_t spy_proc; /* */
  uint8_t reserved[6];
} TROInfoRec;
extern TARVEL_EXPORT TROInfoRec TROInfo;
#endif

extern TARVEL_EXPORT uint8_t TTraceMemory;
extern TARVEL_EXPORT int32_t TDoLowError;

/* Mutex lock and unlock are reached through host globals. */
extern TARVEL_EXPORT Terr (*TpThreadMutexLock)(TpMutex *);
extern TARVEL_EXPORT Terr (*TpThreadMutexUnlock)(TpMutex *);

/* ---- host calls ------------------------------------------------------------ */
TARVEL_EXPORT Terr TXAlloc(Tproc_handle proc, size_t size, void **ptr);
TARVEL_EXPORT Terr TXAllocMemCheck(Tproc_handle proc, size_t size, const char *file, int32_t line,
                                   int32_t id, void **ptr);
TARVEL_EXPORT Terr TXFree(Tproc_handle proc, void *ptr);
TARVEL_EXPORT Terr TXFreeMemCheck(Tproc_handle proc, void *ptr, const char *file, int32_t line);
TARVEL_EXPORT Terr TNewImage(Tproc_handle proc, Timage *image, int32_t kind, int32_t width,
                             int32_t height);
TARVEL_EXPORT Terr TNewImagePtr(Tproc_handle proc, Timage *image, int32_t kind, int32_t width,
                                int32_t height, void *data, int32_t copy);
TARVEL_EXPORT Terr TAccessGlVar(Tproc_handle proc, int32_t var, int32_t mode, int64_t *value_out,
                                double value, char *text, Tkey key, int32_t index);
TARVEL_EXPORT Terr TFgGetDefaults(Tproc_handle proc, TFgClass *fg_class, Tcpar **values,
                                  int32_t *num_values);
TARVEL_EXPORT Terr TpThreadMutexInit(TpMutex *mutex);
TARVEL_EXPORT Terr TpThreadMutexDestroy(TpMutex *mutex);
TARVEL_EXPORT Terr TProcessErr(const char *text, Terr code, int32_t line, const char *file);
#if !defined(TARVEL_BUILD_PAR)
TARVEL_EXPORT uint8_t IOGetSpyProcCallSwitch(void);
#endif
TARVEL_EXPORT void IOSpyProcCall(const char *text, int32_t line, const char *file);
TARVEL_EXPORT void IOPrintErrorMessage(const char *text);

/* Host error codes of its own calls (beyond the plug-in's result codes). */
#define T_ERR_MEM 4901       /* out of memory */
#define T_ERR_IMAGE 4902     /* image creation refused */
#define T_ERR_MUTEX 4903     /* mutex operation failed */
#define T_ERR_GLVAR 4904     /* unknown global variable or mode */
#define T_ERR_ARGUMENT 4905  /* a null or invalid argument */
#define T_ERR_NO_INSTANCE 4906 /* the plug-in had no slot for another instance */

#ifdef __cplusplus
}
#endif

#endif /* TARVEL_H */
