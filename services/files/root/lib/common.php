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

// A plain file name: no folder part, no "..", no leading dot, no control characters.
function is_plain_name($name): bool {
    return is_string($name) && $name !== '' && strlen($name) <= 255
        && strpbrk($name, "/\\") === false && $name[0] !== '.'
        && !preg_match('/[\x00-\x1f\x7f]/', $name);
}

function storage_dir(): string {
    $dir = dirname(__DIR__) . '/testedwork';
    if (!is_dir($dir)) mkdir($dir);
    return $dir;
}
