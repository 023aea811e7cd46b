/* Opens a container with libgarmin, a reader written apart from clx, and says
 * what it found, one fact a line: "maps N" (the tiles it selected), "map ID
 * objects K" for each map it decoded objects of, and "extracted NAME.EXT K"
 * for each named subfile copied to OUTFILE.
 *
 *   garmin_open IMAGE [NAME.EXT OUTFILE]...
 *
 * Exit status: 0 done, 1 the image did not load or has no maps, 2 usage,
 * 3 a subfile could not be extracted. */
#include <fcntl.h>
#include <libgarmin.h>
#include <stdarg.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

/* The library reports its own errors at level 1; more is noise here. */
static void log_cb(char *file, int line, int level, char *fmt, ...) {
    va_list ap;
    if (level > 1) return;
    fprintf(stderr, "libgarmin %s:%d: ", file, line);
    va_start(ap, fmt);
    vfprintf(stderr, fmt, ap);
    va_end(ap);
}

int main(int argc, char **argv) {
    struct gar_config cfg = {.opm = OPM_GPS, .debuglevel = 1};
    struct gar *gar;
    struct gmap *gm;
    struct gimg *img;
    struct gobject *objs = NULL, *o;
    /* Coordinates are in map units, 2^24 to the full circle. */
    struct gar_rect world = {DEGGAR(90.0), DEGGAR(-180.0), DEGGAR(-90.0), DEGGAR(180.0)};
    int ids[256], counts[256], nids = 0, i, status = 0;

    if (argc < 2 || argc % 2 != 0) return 2;
    gar = gar_init_cfg(NULL, log_cb, &cfg);
    if (!gar || gar_img_load(gar, argv[1], 1) <= 0) return 1;
    gm = gar_find_subfiles(gar, &world, 0);
    if (!gm || gm->lastsub <= 0) return 1;
    printf("maps %d\n", gm->lastsub);

    /* Level 24 is the most detailed; every tile has objects there. */
    gar_get_objects(gm, 24, &world, &objs, 0);
    for (o = objs; o; o = o->next) {
        int id = gar_object_mapid(o);
        for (i = 0; i < nids && ids[i] != id; i++) {
        }
        if (i == 256) continue;
        if (i == nids) ids[nids] = id, counts[nids++] = 0;
        counts[i]++;
    }
    if (objs) gar_free_objects(objs);
    for (i = 0; i < nids; i++) printf("map %d objects %d\n", ids[i], counts[i]);

    img = gar_get_dskimg(gar, NULL);
    for (i = 2; i + 1 < argc; i += 2) {
        struct stat st;
        int fd = open(argv[i + 1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || !img || gar_fat_file2fd(img, argv[i], fd) != 0 || fstat(fd, &st) != 0) {
            fprintf(stderr, "%s: cannot extract %s\n", argv[1], argv[i]);
            status = 3;
        } else {
            printf("extracted %s %lld\n", argv[i], (long long)st.st_size);
        }
        if (fd >= 0) close(fd);
    }
    gar_free_gmap(gm);
    gar_free(gar);
    return status;
}
