// operations.hpp — the class operations the plug-in writes into the host's
// class record. Each is defined with the feature it belongs to.
#pragma once

#include "tarvel.h"

namespace grabline {

TFgInstance **FGAllocInstance(Tproc_handle proc_id, TFgInstance *fginst);
Terr FGOpen(Tproc_handle proc_id, TFgInstance *fginst);
Terr FGClose(Tproc_handle proc_id, TFgInstance *fginst);
Terr FGGrab(Tproc_handle proc_id, TFgInstance *fginst, Timage *image, int32_t *num_image);
Terr FGGrabStart(Tproc_handle proc_id, TFgInstance *fginst, double max_age);
Terr FGGrabAsync(Tproc_handle proc_id, TFgInstance *fginst, double max_age, Timage *image,
                 int32_t *num_image);
Terr FGInfo(Tproc_handle proc_id, int32_t query, const char **info, Tcpar **values,
            int32_t *num_values);
Terr FGSetParam(Tproc_handle proc_id, TFgInstance *fginst, const char *name, Tcpar *value,
                int32_t num);
Terr FGGetParam(Tproc_handle proc_id, TFgInstance *fginst, const char *name, Tcpar *value,
                int32_t *num);
Terr FGSetLut(Tproc_handle proc_id, TFgInstance *fginst, int64_t *red, int64_t *green,
              int64_t *blue, int32_t num);
Terr FGGetLut(Tproc_handle proc_id, TFgInstance *fginst, int64_t *red, int64_t *green,
              int64_t *blue, int32_t *num);
Terr FGSetCallback(Tproc_handle proc_id, TFgInstance *fginst, const char *type,
                   TFgCallback function, void *context);
Terr FGGetCallback(Tproc_handle proc_id, TFgInstance *fginst, const char *type,
                   TFgCallback *function, void **context);

}  // namespace grabline
