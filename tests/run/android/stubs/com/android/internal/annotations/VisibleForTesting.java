package com.android.internal.annotations; public @interface VisibleForTesting {}
