// Where a follower finds the medium its leader names, and where it never looks: with a media
// folder ([Sync] MediaRoot) the path stays below it, also through symbolic links; without one
// the leader's own path is taken only when it has no ".." part and names a medium the program
// opens. Whoever poses as the leader reaches no other file through the sync link.
#pragma once

#include <QString>

class CSyncMediaPath {
public:
    // The follower's path for the leader's folder strRoot and the path strRest below it;
    // empty when refused, with the reason (the end of a sentence) in *pstrWhy.
    static QString Join(const QString &strRoot, const QString &strRest, const QString &strMediaRoot,
                        QString *pstrWhy = nullptr);
};
