#include "parser/TestAssets.h"

QX_DEFINE_CLASS(PLManagedAsset)
{
    b.property("width", "T@\"NSNumber\",R,N");
    b.property("height", "T@\"NSNumber\",R,N");
    b.property("originalWidth", "Tq,R,N");
    b.property("originalHeight", "Tq,R,N");
    b.method("pathForImageFile", [](PLManagedAsset* self) { return self->path; });
    b.method("filename", [](PLManagedAsset* self) { return self->name; });
    b.method("directory", [](PLManagedAsset* self) { return self->folder; });
    b.method("isPhoto", [](PLManagedAsset* self) { return self->photo; });
    b.method("isJPEG", [](PLManagedAsset* self) { return self->jpeg; });
    b.method("isVideo", [](PLManagedAsset* self) { return self->video; });
    b.method("width", [](PLManagedAsset* self) { return self->width; });
    b.method("height", [](PLManagedAsset* self) { return self->height; });
    b.method("originalWidth", [](PLManagedAsset* self) { return self->originalWidth; });
    b.method("originalHeight", [](PLManagedAsset* self) { return self->originalHeight; });
    b.method("location", [](PLManagedAsset* self) { return self->position; });
    b.method("date", [](PLManagedAsset* self) { return self->date; });
    b.method("dateCreated", [](PLManagedAsset* self) { return self->dateCreated; });
}

QX_DEFINE_CLASS(QXTestDatelessAsset)
{
    b.method("pathForImageFile", [](QXTestDatelessAsset* self) { return self->path; });
}

QX_DEFINE_CLASS(QXTestCreatedAsset)
{
    b.method("dateCreated", [](QXTestCreatedAsset* self) { return self->dateCreated; });
    b.method("modificationDate", [](QXTestCreatedAsset* self) { return self->modificationDate; });
}

QX_DEFINE_CLASS(QXTestModifiedAsset)
{
    b.method("modificationDate", [](QXTestModifiedAsset* self) { return self->modificationDate; });
}
