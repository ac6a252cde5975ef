<?php
const MAX_UPLOAD_BYTES = 52428800;

function fail(int $code, string $message): void {
    http_response_code($code);
    header('Content-Type: text/plain; charset=utf-8');
    echo $message, "\n";
    exit;
}

function require_post(): void {
    if ($_SERVER['REQUEST_METHOD'] !== 'POST') fail(405, 'POST only');
    // PHP drops a body above post_max_size silently: say what happened instead.
    if (empty($_POST) && empty($_FILES) && (int)($_SERVER['CONTENT_LENGTH'] ?? 0) > 0)
        fail(413, 'request too large');
}

// Only the names the workstation makes for checked works: PREFIX_n_n_n_n.pdf, that is letters,
// digits and "_" before ".pdf". Nothing else can be stored, so nothing stored can run.
function is_stored_name($name): bool {
    return is_string($name) && strlen($name) <= 255
        && preg_match('/^[A-Za-z0-9_]+\.pdf$/D', $name) === 1;
}

function storage_dir(): string {
    $dir = dirname(__DIR__) . '/testedwork';
    if (!is_dir($dir)) mkdir($dir);
    return $dir;
}
